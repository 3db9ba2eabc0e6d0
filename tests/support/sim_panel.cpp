// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_panel.h"

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

void PressAndHold(Form1& panel, QWidget* key, float hold,
                  const std::function<void()>& whilePressed) {
    PressAndHold(
        panel, hold,
        [&] {
            QTest::mousePress(key, Qt::LeftButton);
            if (whilePressed) {
                whilePressed();
            }
        },
        [&] { QTest::mouseRelease(key, Qt::LeftButton); });
}

void PressAndHold(Form1& panel, float hold, const std::function<void()>& press,
                  const std::function<void()>& release) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        press();
        panel.KeyPressTime = TimeOfDay() - hold;
        const float pressTime = panel.KeyPressTime;
        release();
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
