// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_control.h"

#include "geometry.h"
#include "run_texts.h"
#include "trend_controller.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

namespace {

// The run panel of the status bar, and what status panel 1 gives up for it
// while it shows: "Finding the interface and Collecting data from ZRM" and
// "Send several commands to ZRM! Please wait a minute." do not come then,
// as REM and ENTER are held during a run and the panel goes at REM.
constexpr int kPanelTwips = 1200;

QList<QWidget*> HeldControls(Form1& p) {
    return {p.cmd_plus,  p.cmd_normal, p.cmd_minus,  p.cmd_vset,    p.cmd_rem,
            p.cmd_lock,  p.cmd_ce,     p.cmd_vlimit, p.cmd_plimit,  p.cmd_ilimit,
            p.cmd_enter, p.cmd_add,    p.cmd_sub,    p.frm_voltage, p.frm_limit};
}

QString PanelText(const RunProgress& progress) {
    QLatin1String text = RunWindowText::PanelRunning;
    if (progress.state == RunState::Paused) {
        text = RunWindowText::PanelPaused;
    } else if (progress.state == RunState::Ended) {
        text = RunWindowText::PanelLinkLost;
    }
    return QString(text).arg(progress.position.step + 1).arg(progress.steps);
}

} // namespace

MeterCounters* JoinCounters(Form1& panel) {
    auto* counters = new MeterCounters(&panel);
    QObject::connect(&panel, &Form1::PollTaken, counters, &MeterCounters::TakeStatus);
    QObject::connect(&panel, &Form1::PollMissed, counters, &MeterCounters::Gap);
    // Both stop the monitor poll: nothing is known of the output until it
    // comes back.
    for (PanelKey* key : {panel.cmd_output, panel.cmd_rem}) {
        QObject::connect(key, &PanelKey::MouseDown, counters, &MeterCounters::Gap);
    }
    return counters;
}

PanelRunSupply::PanelRunSupply(Form1& panel, QObject* parent)
    : QObject(parent), panel_(panel), pollInterval_(panel.Timer3->interval()) {
    // A moved poll goes on at its own pace from the tick it was moved to.
    connect(panel_.Timer3, &QTimer::timeout, this, [this] {
        if (panel_.Timer3->interval() != pollInterval_) {
            panel_.Timer3->setInterval(pollInterval_);
        }
    });
}

QString PanelRunSupply::StartRefusal() const {
    if (panel_.LinkLost) {
        return RunText::NoSupply;
    }
    if (panel_.EditTarget != EditTargets::VoltageSet) {
        return RunText::EditOpen;
    }
    return {};
}

// A key pressed while a command waits for the supply (the power limit's
// pause and read-back) is carried out after it, as during a remote command.
void PanelRunSupply::SetVoltage(double volts) {
    panel_.HoldKeysWhile([&] { panel_.EnterVoltageSet(static_cast<float>(volts)); });
}

void PanelRunSupply::SetCurrentLimit(double amperes) {
    panel_.HoldKeysWhile([&] { panel_.EnterCurrentLimit(static_cast<float>(amperes)); });
}

void PanelRunSupply::SetPowerLimit(double watts) {
    panel_.HoldKeysWhile([&] { panel_.EnterPowerLimit(static_cast<float>(watts)); });
}

void PanelRunSupply::ToggleOutput() {
    panel_.HoldKeysWhile([this] { panel_.ToggleOutput(); });
}

std::optional<qint64> PanelRunSupply::NextPollInMs() const {
    if (!panel_.Timer3->isActive()) {
        return std::nullopt;
    }
    return panel_.Timer3->remainingTime();
}

void PanelRunSupply::MovePoll(qint64 ms) {
    if (panel_.Timer3->isActive()) {
        panel_.Timer3->start(static_cast<int>(ms));
    }
}

RunControl::RunControl(Form1& panel, TrendController& trend, MeterCounters& counters)
    : QObject(&panel), panel_(panel), trend_(trend), counters_(counters), supply_(panel),
      executor_(supply_), action_(new QAction(RunWindowText::MenuEntry, this)),
      panelLabel_(new QLabel(panel.SBar1)),
      statusWidth_(panel.StatusPanelLabel(StatusPanel::Status)->maximumWidth()) {
    panelLabel_->setObjectName(QStringLiteral("SBar1_run"));
    panelLabel_->setAccessibleName(RunWindowText::PanelName);
    panelLabel_->setFixedWidth(Twips(kPanelTwips));
    panelLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panelLabel_->hide();
    panel.SBar1->insertWidget(1, panelLabel_);
    action_->setObjectName(QStringLiteral("runAction"));
    connect(action_, &QAction::triggered, this, &RunControl::ShowWindow);
    trend_.Menu()->addAction(action_);
    AddShortcut(&panel_);
    refresh_.setInterval(1000);
    connect(&refresh_, &QTimer::timeout, this, &RunControl::ShowState);

    // Commands that fell due during one of the panel's waits go after it,
    // outside the handler that waited.
    connect(&panel_, &Form1::IdleAgain, &executor_, &RunExecutor::Continue, Qt::QueuedConnection);
    connect(&panel_, &Form1::LinkLostReported, &executor_, &RunExecutor::LinkLost);
    connect(&counters_, &MeterCounters::ReadingTaken, &executor_, &RunExecutor::TakeReading);
    connect(&counters_, &MeterCounters::GapTaken, &executor_, &RunExecutor::MissReading);
    // After the key's own handler, which waits with it while a command is
    // under way, has switched the output over: a run ends with the output
    // off, whichever way it was.
    connect(panel_.cmd_output, &PanelKey::MouseDown, this,
            [this] { panel_.RunKeyAction([this] { EndByOutput(); }); });
    connect(panel_.cmd_rem, &PanelKey::MouseDown, this, [this] {
        lostShown_ = false;
        ShowState();
    });
    connect(&executor_, &RunExecutor::Changed, this, &RunControl::ShowState);
    connect(&executor_, &RunExecutor::Ended, this, [this](RunOutcome outcome) {
        lostShown_ = outcome == RunOutcome::LinkLost;
        ShowState();
    });

    connect(&counters_, &MeterCounters::Changed, &trend_, &TrendController::ShowCounters);
    connect(&counters_, &MeterCounters::Changed, this, [this](const EnergyTotals& totals) {
        if (window_) {
            window_->ShowTotals(totals);
        }
    });
    connect(&trend_, &TrendController::ResetCountersAsked, &counters_, &MeterCounters::Reset);
    connect(&trend_, &TrendController::LoggingChanged, this, &RunControl::ShowState);
    ShowState();
}

RunControl::~RunControl() {
    // Closing the panel ends a run without a command: the supply keeps its
    // last step.
    delete window_;
}

bool RunControl::EndByOutput() {
    if (!executor_.Active()) {
        return false;
    }
    executor_.OutputKey();
    if (panel_.OutputOn == 1) {
        panel_.ToggleOutput();
    }
    return true;
}

void RunControl::AddShortcut(QWidget* window) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), window);
    connect(shortcut, &QShortcut::activated, this, &RunControl::ShowWindow);
}

void RunControl::ShowWindow() {
    if (!window_) {
        window_ = new RunWindow(executor_, &panel_);
        // Closing the panel still ends the program while the run window is open.
        window_->setAttribute(Qt::WA_QuitOnClose, false);
        AddShortcut(window_);
        connect(window_->resetCounters, &QPushButton::clicked, &counters_, &MeterCounters::Reset);
        window_->ShowTotals(counters_.Totals());
        if (executor_.State() != RunState::Idle) {
            window_->ShowRun(executor_.CurrentRun());
        }
        window_->ShowProgress();
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void RunControl::ShowState() {
    const bool active = executor_.Active();
    if (active) {
        lostShown_ = false;
    }
    // A run started over remote control shows in the table too.
    if (active && held_.isEmpty() && window_) {
        window_->ShowRun(executor_.CurrentRun());
    }
    HoldKeys(active);
    if (active) {
        refresh_.start();
    } else {
        refresh_.stop();
    }
    inhibitor_.Hold(active || trend_.Logging());
    if (window_) {
        window_->ShowProgress();
    }
    const RunProgress progress = executor_.Progress();
    const bool shown = active || lostShown_;
    panelLabel_->setVisible(shown);
    panel_.StatusPanelLabel(StatusPanel::Status)
        ->setFixedWidth(shown ? statusWidth_ - Twips(kPanelTwips) : statusWidth_);
    if (!shown) {
        return;
    }
    QString tip = RunStateText(progress, executor_.CurrentRun().end);
    if (active) {
        tip += u'\n' + QString(RunWindowText::TimeLeft).arg(DurationText(progress.leftMs));
    }
    panelLabel_->setText(PanelText(progress));
    panelLabel_->setToolTip(tip);
    panelLabel_->setAccessibleDescription(tip);
}

void RunControl::HoldKeys(bool held) {
    if (held == !held_.isEmpty()) {
        return;
    }
    if (held) {
        for (QWidget* control : HeldControls(panel_)) {
            held_.insert(control, !control->testAttribute(Qt::WA_ForceDisabled));
            control->setEnabled(false);
        }
        return;
    }
    for (auto it = held_.cbegin(); it != held_.cend(); ++it) {
        it.key()->setEnabled(it.value());
    }
    held_.clear();
}
