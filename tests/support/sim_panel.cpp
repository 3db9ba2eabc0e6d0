#include "sim_panel.h"

#include <QTest>

SimPanel::SimPanel()
    : sim_(std::make_unique<SimProcess>()), boxes_(std::make_unique<MessageBoxCloser>()),
      panel_(std::make_unique<Form1>()) {}

// The panel goes first: it holds the simulator's pseudo-terminal open.
SimPanel::~SimPanel() {
    panel_.reset();
    boxes_.reset();
    sim_.reset();
}

bool SimPanel::Start(const QStringList& args) {
    const QString path = sim_->Start(args + QStringList{"--no-pacing"});
    if (path.isEmpty()) {
        return false;
    }
    PointComPorts({path});
    if (!StartPanel(*panel_) || panel_->StatusText(1) != QLatin1String("Ready")) {
        return false;
    }
    SentEntries();
    return true;
}

QList<SimProcess::LogEntry> SimPanel::SentEntries() {
    const QString marker = QStringLiteral("MARK%1").arg(seen_);
    panel_->SendCommand(marker);
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
    QStringList commands;
    for (const SimProcess::LogEntry& entry : SentEntries()) {
        commands << entry.command;
    }
    return commands;
}

void Click(QWidget* key, Qt::MouseButton button) {
    QTest::mousePress(key, button);
    QTest::mouseRelease(key, button);
}

void TypeInto(QWidget* box, const QString& text) {
    box->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(box, text);
}
