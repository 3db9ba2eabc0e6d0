// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks read of a running process from /proc, how they let
// time pass and how they report a goal.
#pragma once

#include <QString>
#include <QtGlobal>

// CPU seconds of a process, all its threads, from the scheduler's own
// nanosecond account: the tick-sampled figures of /proc/<pid>/stat are too
// coarse, and biased, for a process that runs a few milliseconds at a time.
double CpuSeconds(qint64 pid);

// The peak resident memory as /proc/<pid>/status gives it ("28500 kB").
QString PeakRss(qint64 pid);

// "met" or "MISSED", for a goal's line in a report.
const char* Verdict(bool met);

// Runs the event loop for `ms` milliseconds: a benchmark measures over a span.
void Wait(int ms);

// Points XDG_RUNTIME_DIR at a folder of this process's own, so the panel's
// single-copy lock never meets a panel that runs beside the benchmark. Call it
// before the application object is made. Gives the folder.
QString UsePrivateRuntimeDir();
