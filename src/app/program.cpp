// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"
#include "accessibility.h"
#include "headless.h"
#include "options.h"
#include "remote_control.h"
#include "run_control.h"
#include "trend_controller.h"

#include <QMenu>

std::unique_ptr<Form1> MakePanel() {
    InstallAccessibleInterfaces();
    auto panel = std::make_unique<Form1>();
    MakeAccessible(*panel);
    return panel;
}

void JoinCapabilities(Form1& panel, const ProgramOptions& options) {
    // All owned by the panel. The counters come before the trend, so that a
    // log row carries the totals with its own reading.
    MeterCounters* counters = JoinCounters(panel);
    auto* trend = new TrendController(panel);
    auto* runs = new RunControl(panel, *trend, *counters);
    auto* remote = new RemoteControl(panel, options.remote);
    remote->JoinRuns(*runs);
    trend->Menu()->addSeparator();
    trend->Menu()->addAction(remote->Action());
    if (options.remoteOn) {
        remote->Start();
    }
    if (options.headless) {
        new Reconnector(panel);
        const QString log = qEnvironmentVariable(TrendController::kLogFileVariable);
        if (!log.isEmpty()) {
            trend->StartLog(log);
        }
    }
}
