// SPDX-License-Identifier: GPL-3.0-or-later
// Carries out a run on the supply: its schedule step by step, on a monotonic
// clock from the run's start, each command through the panel's own rules (a
// RunSupply) and only while the line is free, never inside one of the
// panel's waits; the stop conditions over the poll's readings; the end action.
//
// The alarm is armed for the next command's time computed from the run's
// start, so a late command never delays the ones after it. A command that
// falls due while the panel waits (a reply, a pause, a connection) goes as
// soon as the wait is over (Continue). Shortly before each step the monitor
// poll is moved behind the step's first command when it would be on the line
// at that moment, so the step does not wait for a status exchange.
//
// Pause holds the run's clock and sends nothing: the supply keeps what it
// was last sent, a ramp stands where it is, the output stays as it is. The
// stop conditions on readings stay watched while paused, as the supply still
// delivers; the time to the stop after a time, like the schedule, counts the
// running time only. Resume goes on from the paused point of the schedule.
// Stop ends the run with its end action, as a stop condition does. A lost
// link and OUTPUT end it without a command: the supply keeps its last setting.
#pragma once

#include "run_counters.h"
#include "run_model.h"
#include "run_schedule.h"
#include "run_supply.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <optional>

enum class RunState {
    Idle,    // no run yet
    Running, // the schedule goes on
    Paused,  // the clock held
    Ending,  // the end action waits for the line
    Ended,
};

// How a run ended.
enum class RunOutcome {
    Completed,   // the last step of the last pass is done
    ElapsedTime, // its stop after a time
    CurrentBelow,
    VoltageAbove,
    VoltageBelow,
    AmpHours,
    WattHours,
    Stopped,   // Stop, in the window or by remote control
    OutputKey, // OUTPUT pressed
    LinkLost,  // the supply stopped answering
};

// A run's end action follows its end, except where nothing may or need be
// sent: after a lost link, and after OUTPUT, which switched the output off.
bool EndActionFollows(RunOutcome outcome);

struct RunProgress {
    RunState state = RunState::Idle;
    RunPosition position; // the step in progress, or the one reached
    int passes = 0;       // the run's repeat count
    int steps = 0;        // steps in a pass
    qint64 elapsedMs = 0; // on the run's clock, pauses left out
    qint64 leftMs = 0;    // to the schedule's end
    std::optional<RunOutcome> outcome;
    EnergyTotals delivered; // since the run's start
};

class RunExecutor : public QObject {
    Q_OBJECT
public:
    // A status exchange with its reply takes about this long at 2400 baud;
    // a step's first command is kept out of the way of one that would start
    // within this time before it.
    static constexpr qint64 kPollLeadMs = 250;
    // The poll moved behind a step's first command goes this long after it.
    static constexpr qint64 kPollAfterStepMs = 40;

    explicit RunExecutor(RunSupply& supply, QObject* parent = nullptr);
    ~RunExecutor() override;

    // Checks the run against the supply as it is now (the voltage limit may
    // have changed since the run was loaded) and starts it; its first
    // commands go at once. Why not, and nothing sent, when it cannot start.
    std::optional<QString> Start(const Run& run);
    // What is out of the connected model's ranges in the run; nothing while
    // no supply is connected to check it against.
    std::optional<QString> Check(const Run& run) const;
    void Pause();
    void Resume();
    // Ends the run with its end action.
    void Stop();

    // Running, paused or still ending: the run owns the settings.
    bool Active() const;
    RunState State() const { return state_; }
    RunProgress Progress() const;
    const Run& CurrentRun() const { return run_; }

    // The panel's events, joined by the program's wiring.
    // A reading of a monitor poll, or none where one was missed.
    void TakeReading(const MeterReading& reading);
    void MissReading();
    // The panel's wait has ended: what fell due meanwhile goes now.
    void Continue();
    // The link was reported lost: the run ends where it is.
    void LinkLost();
    // OUTPUT was pressed: the run ends, the output off.
    void OutputKey();

signals:
    // The state changed, or a step began.
    void Changed();
    // A command went to the supply: when, on the run's clock.
    void CommandSent(const RunCommand& command, qint64 runMs);
    void Ended(RunOutcome outcome);

private:
    qint64 RunMs() const;
    // The commands due now, one at a time, while the line is free.
    void Advance();
    void Execute(const RunCommand& command);
    // The next command, loading the next step's when the present one's are done.
    const RunCommand* NextCommand();
    // The time of the next step's first command, while it is still to come.
    std::optional<qint64> UpcomingStepMs() const;
    // Moves the poll behind the step when it would be on the line at its time.
    void KeepPollAway(qint64 stepMs);
    void Arm();
    // Ends the run early: the end action (if it follows) as soon as the line
    // is free.
    void Finish(RunOutcome outcome);
    void End(RunOutcome outcome);

    RunSupply& supply_;
    QTimer alarm_;
    QElapsedTimer clock_;
    RunState state_ = RunState::Idle;
    Run run_;
    SchedulePlan plan_;
    RunEnd end_;
    std::optional<StopCheck> stop_;
    RunPosition loaded_;         // the step whose commands are in commands_
    RunPosition reached_;        // the step in progress when the run ended
    QList<RunCommand> commands_; // the loaded step's, or the end's
    qsizetype next_ = 0;
    bool ending_ = false; // commands_ are the end's
    RunOutcome endOutcome_ = RunOutcome::Completed;
    std::optional<RunOutcome> outcome_;
    qint64 pausedMs_ = 0;          // held on the clock by pauses before
    qint64 pausedAtMs_ = 0;        // the run's time when paused
    qint64 endedAtMs_ = 0;         // the run's time when it ended
    RunPosition lastSent_{-1, -1}; // the step of the last command sent
    qint64 guardedStepMs_ = -1;    // the step start whose poll was last looked at
    bool executing_ = false;       // a command is under way: its waits run events
    bool waiting_ = false;         // a command fell due while the panel waited
};
