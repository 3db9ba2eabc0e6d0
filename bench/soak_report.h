// SPDX-License-Identifier: GPL-3.0-or-later
// The soak's report: the figures gathered during a run, the memory readings,
// Qt's warnings, the progress line of long runs and the closing summary with
// one verdict per check.
#pragma once

#include "soak_faults.h"

#include <QMap>
#include <QString>
#include <QtGlobal>

// Resident memory, and under AddressSanitizer the live heap as well: there
// the sanitizer's quarantine of freed blocks and its records of allocation
// stacks grow the resident memory by themselves, so the heap is the measure.
struct Memory {
    qint64 residentKb = 0;
    qint64 heapKb = -1; // -1: not under AddressSanitizer

    static Memory Now();
    qint64 JudgedKb() const { return heapKb >= 0 ? heapKb : residentKb; }
};

// A message handler that counts Qt's warnings and shows each different one
// once.
void CountQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text);

struct SoakFigures {
    int seconds = 0;
    quint32 seed = 0;
    double maxGrowthMb = 0;
    QMap<QString, int> presses; // by key name
    int typedValues = 0;
    int maxNesting = 0;
    int faults[kFaultKinds] = {};
    int supplyStarts = 0;
    int supplyFailures = 0;
    int pollTicks = 0;     // Timer3 ticks of every panel of the run
    int statusQueries = 0; // "L" received by every simulator of the run
    int messageBoxes = 0;
    int programEnds = 0; // asked for by the panel, counted instead of taken
    int panelRestarts = 0;
    qint64 maxStallMs = 0;
    qint64 stallLimitMs = 0;
    int stalls = 0; // stalls over the limit
    Memory start;
    Memory baseline; // after the first round of faults
    Memory end;
    QString mismatches; // the final check's; empty when the panel agrees with the supply
};

// The line a long soak prints now and then.
void PrintProgress(qint64 elapsedMs, const SoakFigures& figures);

// Prints the figures and a verdict for each check; false if any check failed.
bool PrintReport(const SoakFigures& figures);
