// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_join.h"

#include "run_csv.h"

JoinedRuns JoinRuns(Form1& panel) {
    MeterCounters* counters = JoinCounters(panel);
    auto* trend = new TrendController(panel);
    return {counters, trend, new RunControl(panel, *trend, *counters)};
}

Run StepsRun(const QStringList& steps, EndAction end) {
    Run run;
    run.end = end;
    for (const QString& step : steps) {
        RunStep s;
        s.voltage = *DecimalFromText(step.section(u',', 0, 0));
        s.durationMs = *MillisecondsFromText(step.section(u',', 1, 1));
        run.steps.append(s);
    }
    return run;
}
