// SPDX-License-Identifier: GPL-3.0-or-later
// What the monitor poll's readings add up to: amp-hours and watt-hours
// delivered, and the readings that end a run early. Pure functions of the
// readings and their times, Qt Core only.
#pragma once

#include "run_model.h"
#include "run_schedule.h"
#include "status_line.h"

#include <optional>

// The measured values of one status line, and when the poll took it on a
// monotonic clock.
struct MeterReading {
    qint64 ms = 0;
    double voltage = 0; // V
    double current = 0; // A
    double power = 0;   // W
};

// The measured values of a status line taken at ms; nothing when the line
// says the output is off (its voltage is then the set-point) or a measured
// value is not a plain number, as nothing is known of the output then.
std::optional<MeterReading> ReadingFromStatus(const StatusLine& status, qint64 ms);

// Readings further apart than this are not joined: more than two missed
// polls, as the trend breaks its line.
inline constexpr qint64 kReadingGapMs = 3000;

struct EnergyTotals {
    double ampHours = 0;
    double wattHours = 0;
};

// Amp-hours from the measured current and watt-hours from the measured power:
// a trapezoid between each two consecutive readings. Nothing is counted over
// a gap (a missed poll, the output off, readings more than kReadingGapMs
// apart or out of order): the next reading starts afresh.
class EnergyCounter {
public:
    void Take(const MeterReading& reading);
    // A poll that brought no reading.
    void Gap() { last_.reset(); }
    // Back to zero; the next reading starts afresh.
    void Reset();
    EnergyTotals Totals() const { return totals_; }

private:
    std::optional<MeterReading> last_;
    EnergyTotals totals_;
};

// The stop conditions of a run that readings decide, over the run's own
// counters (from its start). The elapsed time is the schedule's (EndOf).
class StopCheck {
public:
    explicit StopCheck(const StopConditions& stop) : stop_(stop) {}

    // The condition that this reading meets, if any; when several do, the
    // first of: voltage above, voltage below, current below, amp-hours,
    // watt-hours. The current must stay below its value at every reading for
    // the time given, from the first such reading; a reading at or above it,
    // or a gap, starts that time again, as nothing is known of the current
    // in a gap.
    std::optional<StopReason> Take(const MeterReading& reading);
    void Gap();
    EnergyTotals Totals() const { return counter_.Totals(); }

private:
    StopConditions stop_;
    EnergyCounter counter_;
    std::optional<qint64> lastMs_;
    std::optional<qint64> belowSinceMs_;
};
