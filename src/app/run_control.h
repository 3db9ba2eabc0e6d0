// SPDX-License-Identifier: GPL-3.0-or-later
// Joins runs to the panel: the panel as the supply a run sets (its entry,
// output and poll rules), the run window on Ctrl+R and from the Monitor
// frame's menu, the status bar's run panel, the panel's keys held while a run
// is active, OUTPUT and a lost link ending a run, the panel's counters over
// the monitor poll, and the block on suspending while a run or a log is
// active.
//
// While a run is active the keys and boxes that set a value, or that would
// break into the run (REM's new connection, LOCK, whose release gives every
// key back), are disabled, and get back the state they had when it ends.
// OUTPUT stays: it ends the run and switches the output off. N, F and EXIT
// stay as they are.
#pragma once

#include "main_window.h"
#include "meter_counters.h"
#include "run_executor.h"
#include "run_supply.h"
#include "run_window.h"
#include "sleep_inhibitor.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QAction;
class QLabel;
class TrendController;

// The panel as a run's supply: each value set by the rule its entry key
// runs, the output by OUTPUT's, the poll's timer moved and given back its pace.
class PanelRunSupply : public QObject, public RunSupply {
    Q_OBJECT
public:
    explicit PanelRunSupply(Form1& panel, QObject* parent = nullptr);

    bool Idle() const override { return panel_.Idle(); }
    QString StartRefusal() const override;
    RunLimits Limits() const override { return LimitsOf(panel_); }
    bool OutputOn() const override { return panel_.OutputOn == 1; }
    double VoltageSet() const override { return panel_.VoltageSet; }
    void SetVoltage(double volts) override;
    void SetCurrentLimit(double amperes) override;
    void SetPowerLimit(double watts) override;
    void ToggleOutput() override;
    std::optional<qint64> NextPollInMs() const override;
    void MovePoll(qint64 ms) override;

private:
    Form1& panel_;
    int pollInterval_; // Timer3's as designed
};

// The panel's counters over its monitor poll, owned by the panel. Joined
// before the trend, so that a log row carries the totals with its reading.
MeterCounters* JoinCounters(Form1& panel);

class RunControl : public QObject {
    Q_OBJECT
public:
    RunControl(Form1& panel, TrendController& trend, MeterCounters& counters);
    ~RunControl() override;

    void ShowWindow();
    // OUTPUT's rule while a run is active, for the key and remote control:
    // the run ends without its end action and the output goes off, whichever
    // way it was. False when no run is active.
    bool EndByOutput();

    RunExecutor& Executor() { return executor_; }
    MeterCounters& Counters() { return counters_; }
    // Null until the window was first shown.
    RunWindow* Window() const { return window_; }
    QLabel* StatusPanel() const { return panelLabel_; }
    QAction* Action() const { return action_; }
    SleepInhibitor& Inhibitor() { return inhibitor_; }

private:
    void ShowState();
    void HoldKeys(bool held);
    void AddShortcut(QWidget* window);

    Form1& panel_;
    TrendController& trend_;
    MeterCounters& counters_;
    PanelRunSupply supply_;
    RunExecutor executor_;
    SleepInhibitor inhibitor_;
    QPointer<RunWindow> window_;
    QAction* action_;
    QLabel* panelLabel_;
    QTimer refresh_; // the time left, once a second while a run is active
    // The controls held while a run is active, with the state each had.
    QHash<QWidget*, bool> held_;
    bool lostShown_ = false; // the run panel says where a lost link stopped the run
    int statusWidth_;        // status panel 1's width as designed
};
