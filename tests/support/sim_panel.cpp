// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_panel.h"

#include <QKeyEvent>
#include <QTest>

SimPanel::SimPanel()
    : sim_(std::make_unique<SimProcess>()), watched_(std::make_unique<WatchedPanel>()) {}

// The panel goes first: it holds the simulator's pseudo-terminal open.
SimPanel::~SimPanel() {
    watched_.reset();
    sim_.reset();
}

bool SimPanel::Start(const QStringList& args) {
    const QString path = sim_->Start(args + QStringList{"--no-pacing"});
    if (path.isEmpty()) {
        return false;
    }
    PointComPorts({path});
    if (!StartPanel(panel()) || panel().StatusText(StatusPanel::Status) != StatusPanel1::Ready) {
        return false;
    }
    SentEntries();
    return true;
}

QList<SimProcess::LogEntry> SimPanel::SentEntries() {
    const QString marker = QStringLiteral("MARK%1").arg(seen_);
    panel().SendCommand(marker);
    QList<SimProcess::LogEntry> log;
    const bool marked = QTest::qWaitFor(
        [&] {
            log = sim_->Log();
            return !log.isEmpty() && log.last().command == marker;
        },
        SimProcess::kDefaultTimeoutMs);
    QList<SimProcess::LogEntry> entries;
    if (!marked) {
        // Fails every comparison, and says why.
        entries.append({-1, QStringLiteral("<no marker: the supply did not hear the panel>")});
        return entries;
    }
    for (qsizetype i = seen_; i + 1 < log.size(); ++i) {
        if (log[i].command != QLatin1String("L")) {
            entries << log[i];
        }
    }
    seen_ = log.size();
    return entries;
}

QStringList SimPanel::Sent() {
    return SimProcess::Commands(SentEntries());
}

void Click(QWidget* key, Qt::MouseButton button) {
    QTest::mousePress(key, button);
    QTest::mouseRelease(key, button);
}

void TypeInto(QWidget* box, const QString& text) {
    box->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(box, text);
}

void TypeOver(QWidget* box, const QString& text) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

namespace {

// X11's default auto-repeat: 660 ms before the first repeat, then 25 a second.
constexpr unsigned long kRepeatDelayMs = 660;
constexpr unsigned long kRepeatIntervalMs = 40;

void SendKey(QWidget* window, QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers modifiers,
             bool repeat, unsigned long timestamp) {
    const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
    QKeyEvent event(type, key, modifiers, text, repeat);
    event.setTimestamp(timestamp);
    QCoreApplication::sendEvent(window->windowHandle(), &event);
}

} // namespace

void HoldKey(QWidget* window, Qt::Key key, int repeats, bool marked,
             const std::function<void()>& whileHeld, Qt::KeyboardModifiers modifiers,
             bool stamped) {
    static unsigned long clock = 1'000'000;
    const auto stamp = [stamped](unsigned long time) { return stamped ? time : 0; };
    SendKey(window, QEvent::KeyPress, key, modifiers, false, stamp(clock));
    if (whileHeld) {
        whileHeld();
    }
    unsigned long time = clock + kRepeatDelayMs;
    for (int i = 0; i < repeats; ++i, time += kRepeatIntervalMs) {
        SendKey(window, QEvent::KeyRelease, key, modifiers, marked, stamp(time));
        SendKey(window, QEvent::KeyPress, key, modifiers, marked, stamp(time));
    }
    SendKey(window, QEvent::KeyRelease, key, Qt::NoModifier, false, stamp(time));
    clock = time + 10'000;
}

bool KeysUp(const Form1& panel) {
    for (const PanelKey* key : panel.findChildren<PanelKey*>()) {
        if (key->isDown()) {
            return false;
        }
    }
    return panel.cmd_add->BorderStyle() == 0 && panel.cmd_sub->BorderStyle() == 0;
}

void PressAndHold(Form1& panel, QWidget* key, float hold,
                  const std::function<void()>& whilePressed) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        QTest::mousePress(key, Qt::LeftButton);
        if (whilePressed) {
            whilePressed();
        }
        panel.KeyPressTime = TimeOfDay() - hold;
        const float pressTime = panel.KeyPressTime;
        QTest::mouseRelease(key, Qt::LeftButton);
        if (hold >= panel.LongPressTime || TimeOfDay() - pressTime < panel.LongPressTime) {
            return;
        }
    }
}

qsizetype PollCount(const SimProcess& sim) {
    return sim.LoggedCommands().count(QStringLiteral("L"));
}

bool WaitForPolls(const SimProcess& sim, qsizetype before, int more) {
    return QTest::qWaitFor([&] { return PollCount(sim) >= before + more; }, kPollWaitMs);
}
