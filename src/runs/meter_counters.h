// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's amp-hour and watt-hour counters: every monitor poll's reading
// counted from the program's start or the last reset, and the readings and
// gaps handed on to a run's stop conditions, on one monotonic clock.
#pragma once

#include "run_counters.h"
#include "status_line.h"

#include <QElapsedTimer>
#include <QObject>

class MeterCounters : public QObject {
    Q_OBJECT
public:
    explicit MeterCounters(QObject* parent = nullptr);

    // A status line that a poll took: a reading, or a gap when it has none
    // (the output off, a value that is not a number).
    void TakeStatus(const StatusLine& status);
    // A poll that brought no status line, or the poll stopped (OUTPUT, REM).
    void Gap();
    // Back to zero.
    void Reset();
    EnergyTotals Totals() const { return counter_.Totals(); }

signals:
    void ReadingTaken(const MeterReading& reading);
    void GapTaken();
    void Changed(const EnergyTotals& totals);

private:
    QElapsedTimer clock_;
    EnergyCounter counter_;
};
