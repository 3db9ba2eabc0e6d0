// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule of a run: what the panel sets when, in milliseconds from the
// run's start on the monotonic clock. Every time is computed from the start
// (the pass times the pass's length plus the steps before), never by adding
// up delays, so a long run does not drift. Qt Core only.
//
// Each step at its start sends its limits, then its set-point when it jumps.
// A ramp sends set-points on the straight line from the step before's voltage
// to its own, at even times, at most one every kRampIntervalMs and one per
// hundredth of a volt of its change, the last exactly the step's voltage at
// the step's end; a set-point that writes as the one before it ("00.00") is
// not sent again. The run's first step also sets the voltage its ramp starts
// from, and then switches the output on. At 2400 baud a set-point ("SV 07.50"
// and CR, 9 characters) takes 37.5 ms on the line and the once-a-second status
// exchange about 0.17 s, so four set-points a second leave more than half of
// every second free for the poll and the keys' commands.
#pragma once

#include "run_model.h"

#include <QList>

inline constexpr qint64 kRampIntervalMs = 250;

enum class RunAction {
    SetCurrentLimit, // value in amperes
    SetPowerLimit,   // value in watts
    SetVoltage,      // value in volts
    OutputOn,        // the output on, if it is off: once, after the first step's values
    OutputOff,       // the end action "output off"
    End,             // the run is over
};

struct RunCommand {
    qint64 ms = 0; // from the run's start
    int pass = 0;  // 0-based
    int step = 0;  // 0-based
    RunAction action = RunAction::End;
    double value = 0;

    bool operator==(const RunCommand&) const = default;
};

// What the run starts from.
struct SchedulePlan {
    // What the first step ramps from: the set-point in force while the output
    // is on, 0 while it is off (the output's voltage then).
    double startVoltage = 0;
    // The voltage limit in force, which decides which of a step's two limits
    // binds (see StepCommands).
    float voltageLimit = 0;
    qint64 rampIntervalMs = kRampIntervalMs;
};

enum class StopReason {
    Completed,   // the last step of the last pass is done
    ElapsedTime, // stop after (s)
    CurrentBelow,
    VoltageAbove,
    VoltageBelow,
    AmpHours,
    WattHours,
};

struct RunEnd {
    qint64 ms = 0;
    StopReason reason = StopReason::Completed;
};

qint64 PassMs(const Run& run);
qint64 StepStartMs(const Run& run, int pass, int step);
// The end of the run by its clock: the last step's end, or the elapsed-time
// stop when that comes first.
RunEnd EndOf(const Run& run);

struct RunPosition {
    int pass = 0; // 0-based
    int step = 0; // 0-based
};

// The step in progress ms after the run's start: the last one to have
// started, the run's last step from its end on.
RunPosition PositionAt(const Run& run, qint64 ms);

// What one step of one pass sets, up to the run's end; nothing for a step
// that starts after it. The limits go first, so a raised set-point never
// meets the step before's limits. The supply derives its power limit from a
// new current limit (voltage limit times current) and its current limit from
// a new power limit, so of a step that gives both the one that binds at the
// voltage limit in force goes last and stays in force: the current limit when
// it times the voltage limit is within the power limit, the power limit
// otherwise.
QList<RunCommand> StepCommands(const Run& run, const SchedulePlan& plan, int pass, int step);
// At the run's end: "output off" when that is the end action, then End.
QList<RunCommand> EndCommands(const Run& run);
// The whole run, every pass, its end last. Long runs take it step by step.
QList<RunCommand> Schedule(const Run& run, const SchedulePlan& plan);
