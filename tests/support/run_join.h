// SPDX-License-Identifier: GPL-3.0-or-later
// Runs joined to a test's panel as the program joins them: the counters
// first, then the trend and log, then the run control.
//
//   SimPanel s;
//   const JoinedRuns runs = JoinRuns(s.panel());
//   QVERIFY(s.Start({"--model", "ZRM-522"}));
//   runs.control->ShowWindow();
#pragma once

#include "main_window.h"
#include "run_control.h"
#include "trend_controller.h"

struct JoinedRuns {
    MeterCounters* counters;
    TrendController* trend;
    RunControl* control;
};

// All three are owned by the panel.
JoinedRuns JoinRuns(Form1& panel);

// A run of steps "volts,seconds" (jumps), with its end action.
Run StepsRun(const QStringList& steps, EndAction end = EndAction::OutputOff);
