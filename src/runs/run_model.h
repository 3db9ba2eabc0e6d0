// SPDX-License-Identifier: GPL-3.0-or-later
// A run: a list of steps that the panel sets one after the other, repeated a
// number of times, with what to do at its end and the readings that end it
// early. Checked against the model's ranges before anything is sent. Qt Core
// only.
#pragma once

#include "panel_rules.h"
#include "panel_state.h"

#include <QList>
#include <QString>
#include <optional>

struct RunStep {
    double voltage = 0;                 // V, the set-point, reached at the step's end on a ramp
    std::optional<double> currentLimit; // A; a step without one keeps the limit in force
    std::optional<double> powerLimit;   // W; likewise
    qint64 durationMs = 0;
    bool ramp = false; // linear from the step before's voltage over the duration, else a jump

    bool operator==(const RunStep&) const = default;
};

enum class EndAction { OutputOff, KeepLastStep };

// Charge termination: every reading for at least forMs below amps.
struct CurrentBelow {
    double amps = 0;
    qint64 forMs = 0;

    bool operator==(const CurrentBelow&) const = default;
};

// What ends a run before its last step is done; each is off when not given.
struct StopConditions {
    std::optional<qint64> afterMs; // elapsed since the run's start
    std::optional<CurrentBelow> currentBelow;
    std::optional<double> voltageAbove; // V, measured
    std::optional<double> voltageBelow; // V, measured
    std::optional<double> ampHours;     // delivered since the run's start
    std::optional<double> wattHours;

    bool operator==(const StopConditions&) const = default;
};

struct Run {
    QList<RunStep> steps;
    int repeat = 1; // passes through the steps
    EndAction end = EndAction::OutputOff;
    StopConditions stop;

    bool operator==(const Run&) const = default;
};

inline constexpr int kMaxRunSteps = 1000;
inline constexpr int kMaxRunRepeat = 1'000'000;
inline constexpr qint64 kMaxStepMs = 1'000'000'000;    // about 11.5 days
inline constexpr double kMaxCounterTarget = 1'000'000; // Ah or Wh

// The decimals each value may have: those the supply takes for what is sent,
// those the status line shows for what is compared with a reading.
namespace RunDecimals {
inline constexpr int Voltage = 2;
inline constexpr int CurrentLimit = 2;
inline constexpr int PowerLimit = 0;
inline constexpr int Seconds = 3;
inline constexpr int MeasuredVoltage = 2;
inline constexpr int MeasuredCurrent = 3;
inline constexpr int Counter = 6;
} // namespace RunDecimals

// What a run is checked against: the connected model's maxima and the
// voltage limit in force. A run does not set the voltage limit, so every
// set-point must lie within the one in force when the run is checked (when it
// is loaded, and again when it starts).
struct RunLimits {
    float maxVoltage = 0;
    float maxCurrent = 0;
    float maxPower = 0;
    float voltageLimit = 0;
};

RunLimits LimitsOf(const PanelState& state);

// The first fault of a run: its step (1-based; 0 for the run as a whole),
// the field and why.
struct RunError {
    int step = 0;
    QString field;
    QString reason;

    QString Text() const;
};

// A run from value lists, as remote control sets one up: a voltage per step;
// the current limits and the dwell times (s) one per step or one for every
// step, no current limit leaving the limit in force; the repeat count; the
// output off at the end. Nothing when a list's length fits neither. The run
// is checked as any other (ValidateRun).
std::optional<Run> RunFromLists(const QList<double>& volts, const QList<double>& amps,
                                const QList<double>& seconds, int repeat);

// Nothing for a run that may be sent as it is.
std::optional<RunError> ValidateRun(const Run& run, const RunLimits& limits);

// Whether value has no more than decimals digits after the point.
bool HasAtMostDecimals(double value, int decimals);

// value with at most decimals digits after the point, without the zeros at
// its end: 14.4 with 3 gives "14.4", 0.0000001 with 7 "0.0000001".
QString DecimalText(double value, int decimals);
