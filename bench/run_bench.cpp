// SPDX-License-Identifier: GPL-3.0-or-later
// A ten-minute run, a step every 10 s with every other step a ramp, carried
// out by the panel in this process against zrm-sim with line pacing on:
// how late each step's first command reached the supply against its time in
// the schedule, the drift between the first step and the last, and the
// panel's CPU share over the run. Each step starts with a current limit of
// its own, so its first command is found on the supply's log by its text.
//   run_bench [seconds]      (default 600)
#include "panel_harness.h"
#include "process_figures.h"
#include "run_join.h"
#include "run_schedule.h"
#include "sim_process.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr qint64 kStepMs = 10'000;
constexpr qint64 kLateGoalMs = 100;
constexpr qint64 kDriftGoalMs = 20;

// Steps of 10 s: a jump to 5 V and a ramp up to 12 V in turn, each with a
// current limit of its own (1.00 A, 1.01 A, ...).
Run BenchRun(qint64 seconds) {
    Run run;
    run.end = EndAction::OutputOff;
    const qint64 steps = std::max<qint64>(2, seconds * 1000 / kStepMs);
    for (qint64 k = 0; k < steps; ++k) {
        RunStep step;
        step.voltage = k % 2 == 0 ? 5 : 12;
        step.ramp = k % 2 == 1;
        step.currentLimit = 1.0 + static_cast<double>(k) / 100;
        step.durationMs = kStepMs;
        run.steps.append(step);
    }
    return run;
}

QString LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 2)
                                          : QStringLiteral("?");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    UsePrivateRuntimeDir();
    QApplication app(argc, argv);
    const qint64 seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 600;

    SimProcess sim;
    const QString port = sim.Start({"--model", "ZRM-522", "--load-ohms", "10"});
    if (port.isEmpty()) {
        std::fprintf(stderr, "zrm-sim did not start\n");
        return 1;
    }
    PointComPorts({port});
    const std::unique_ptr<Form1> panel = MakePanel();
    const JoinedRuns runs = JoinRuns(*panel);
    if (!StartPanel(*panel) || panel->StatusText(StatusPanel::Status) != StatusPanel1::Ready) {
        std::fprintf(stderr, "the panel did not get ready\n");
        return 1;
    }

    // The supply's clock against this one: a marker line, stamped by both.
    QElapsedTimer clock;
    clock.start();
    const QString marker = QStringLiteral("MARK");
    panel->SendCommand(marker);
    const qint64 markerMs = clock.elapsed();
    qint64 simMarkerMs = -1;
    const bool marked = QTest::qWaitFor([&] {
        for (const SimProcess::LogEntry& entry : sim.Log()) {
            if (entry.command == marker) {
                simMarkerMs = entry.ms;
            }
        }
        return simMarkerMs >= 0;
    });
    if (!marked) {
        std::fprintf(stderr, "the supply did not log the marker\n");
        return 1;
    }

    const Run run = BenchRun(seconds);
    const QString loadBefore = LoadAverage();
    const double cpuBefore = CpuSeconds(getpid());
    const qint64 startMs = clock.elapsed();
    if (const std::optional<QString> refusal = runs.control->Executor().Start(run)) {
        std::fprintf(stderr, "the run did not start: %s\n", qPrintable(*refusal));
        return 1;
    }
    const qint64 totalMs = EndOf(run).ms;
    while (runs.control->Executor().Active()) {
        Wait(1000);
    }
    const double runSeconds = static_cast<double>(clock.elapsed() - startMs) / 1000;
    const double cpu = 100 * (CpuSeconds(getpid()) - cpuBefore) / runSeconds;

    // Each step's first command on the supply's clock, against its schedule.
    const QList<SimProcess::LogEntry> log = sim.Log();
    QList<qint64> late;
    for (qsizetype k = 0; k < run.steps.size(); ++k) {
        const QString first = QStringLiteral("SI %1").arg(*run.steps[k].currentLimit, 0, 'f', 2);
        const auto entry = std::find_if(log.begin(), log.end(), [&](const SimProcess::LogEntry& e) {
            return e.command == first;
        });
        if (entry == log.end()) {
            std::fprintf(stderr, "step %lld: %s never reached the supply\n",
                         static_cast<long long>(k + 1), qPrintable(first));
            return 1;
        }
        const qint64 runMs = entry->ms - simMarkerMs + markerMs - startMs;
        late.append(runMs - StepStartMs(run, 0, static_cast<int>(k)));
    }
    const qint64 latest = *std::max_element(late.begin(), late.end());
    const qint64 earliest = *std::min_element(late.begin(), late.end());
    qint64 sum = 0;
    for (qint64 ms : late) {
        sum += ms;
    }
    const qint64 drift = late.last() - late.first();

    std::printf("Run:                     %lld steps of 10 s (every other one a ramp), %.0f s, "
                "ended %s\n",
                static_cast<long long>(run.steps.size()), static_cast<double>(totalMs) / 1000,
                runs.control->Executor().Progress().outcome == RunOutcome::Completed ? "completed"
                                                                                     : "otherwise");
    std::printf("Step's first command:    %lld to %lld ms after its time, mean %.1f ms, goal "
                "within %lld ms: %s\n",
                static_cast<long long>(earliest), static_cast<long long>(latest),
                static_cast<double>(sum) / static_cast<double>(late.size()),
                static_cast<long long>(kLateGoalMs),
                Verdict(earliest >= 0 && latest <= kLateGoalMs));
    std::printf("Drift, first to last:    %lld ms (%lld then %lld ms late), goal under %lld ms: "
                "%s\n",
                static_cast<long long>(drift), static_cast<long long>(late.first()),
                static_cast<long long>(late.last()), static_cast<long long>(kDriftGoalMs),
                Verdict(std::abs(drift) < kDriftGoalMs));
    std::printf("CPU during the run:      %.2f %% of a core over %.0f s, goal under 1 %%: %s\n",
                cpu, runSeconds, Verdict(cpu < 1));
    std::printf("Load average:            %s before, %s after (the machine is shared)\n",
                qPrintable(loadBefore), qPrintable(LoadAverage()));
    return 0;
}
