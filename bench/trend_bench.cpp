// SPDX-License-Identifier: GPL-3.0-or-later
// The panel with a full day of readings and a thousand gaps in its trend,
// polling zrm-sim with line pacing on and a CSV log running: CPU use with the
// trend window closed and open on each of its views, each over a span that
// holds whole redraws of the view, and peak resident memory, each with its
// goal. The panel runs inside this process, so the figures are its own.
//
//   trend_bench [--closed-only] [--closed-before PERCENT [--before-name NAME]]
//
// --closed-only measures the trend closed and stops. With --closed-before,
// the trend-closed figure is also held against that of an earlier build
// measured in the same run (bench/run.sh does both).
#include "panel_harness.h"
#include "process_figures.h"
#include "sim_process.h"
#include "trend_controller.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

// Each figure covers at least this long, and a view whose buckets are wider
// than that two of its redraws (the day's: 240 s).
constexpr int kLeastSeconds = 60;
// The window is measured once it has taken a poll or two in each view.
constexpr int kSettleMs = 2500;
constexpr qint64 kPollMs = 1000;
// Output switched off for a while every 86 readings: a day with a thousand gaps.
constexpr qsizetype kBreakEvery = 86;
// Goals: of a core, with the trend open on any view; peak resident memory.
constexpr double kViewGoal = 1.0;
constexpr qint64 kMemoryGoalKb = 100 * 1024;
// Two figures of the trend closed, measured minutes apart on a machine that
// also runs other work, differ by up to this much: within it the panel is no
// costlier than before.
constexpr double kClosedSpread = 0.05;

// A full day of one-second readings up to now, wavering like a charging battery.
void FillDay(TrendController& trend) {
    const qint64 now = trend.Clock().NowMs();
    for (qsizetype i = 0; i < TrendRing::kCapacity; ++i) {
        const double phase = static_cast<double>(i) / 600;
        TrendSample sample;
        sample.ms = now - (TrendRing::kCapacity - i) * 1000;
        sample.voltage = static_cast<float>(12 + std::sin(phase));
        sample.current = static_cast<float>(1.2 + 0.1 * std::cos(phase));
        sample.power = sample.voltage * sample.current;
        sample.currentLimit = 5;
        sample.powerLimit = 200;
        sample.startsSegment = i % kBreakEvery == 0;
        trend.Ring().Append(sample);
    }
}

struct Figure {
    double cpu = 0; // percent of a core
    int seconds = 0;
    int frames = 0;   // the charts moved on
    int rebuilds = 0; // of those, built anew
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QDir runtime(UsePrivateRuntimeDir());
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const qsizetype beforeAt = args.indexOf(QStringLiteral("--closed-before"));
    // Negative: no earlier figure to hold this one against.
    const double closedBefore = beforeAt > 0 ? args.value(beforeAt + 1).toDouble() : -1;
    const qsizetype nameAt = args.indexOf(QStringLiteral("--before-name"));
    const QString beforeName =
        nameAt > 0 ? args.value(nameAt + 1) : QStringLiteral("the earlier build");

    SimProcess sim;
    const QString port = sim.Start({"--output-on"});
    if (port.isEmpty()) {
        std::fprintf(stderr, "zrm-sim did not start\n");
        return 1;
    }
    PointComPorts({port});

    const std::unique_ptr<Form1> panel = MakePanel();
    auto* trend = new TrendController(*panel);
    if (!StartPanel(*panel) || panel->StatusText(StatusPanel::Status) != StatusPanel1::Ready) {
        std::fprintf(stderr, "the panel did not get ready\n");
        return 1;
    }
    FillDay(*trend);
    trend->ShowTrend();
    // No message box closer: its timer would cost more than the trend. A
    // message (a lost link) stops the benchmark.
    trend->StartLog(runtime.filePath(QStringLiteral("bench.csv")));

    const qint64 pid = getpid();
    TrendWindow& window = *trend->Window();
    const auto measure = [&](const QString& range) {
        window.range->setCurrentText(range);
        Wait(kSettleMs);
        const qint64 redrawEvery = std::max(window.View().BucketMs(), kPollMs);
        Figure figure;
        figure.seconds = static_cast<int>(std::max<qint64>(kLeastSeconds, 2 * redrawEvery / 1000));
        const double cpu = CpuSeconds(pid);
        const int frames = window.Frames();
        const int rebuilds = window.Rebuilds();
        Wait(figure.seconds * 1000);
        figure.cpu = 100 * (CpuSeconds(pid) - cpu) / figure.seconds;
        figure.frames = window.Frames() - frames;
        figure.rebuilds = window.Rebuilds() - rebuilds;
        return figure;
    };
    bool met = true;
    const auto report = [&](const char* view, const Figure& figure) {
        const bool ok = figure.cpu < kViewGoal && figure.frames > 0;
        met = met && ok;
        std::printf("CPU, %-19s %.2f %% of a core over %d s (%d redraws, %d of them rebuilt), "
                    "goal under %.0f %%: %s\n",
                    view, figure.cpu, figure.seconds, figure.frames, figure.rebuilds, kViewGoal,
                    Verdict(ok));
    };

    window.hide();
    const Figure closed = measure(QStringLiteral("10 min"));
    std::printf("CPU, the trend closed:   %.2f %% of a core over %d s (the panel's polling and "
                "the log)",
                closed.cpu, closed.seconds);
    if (closedBefore >= 0) {
        const bool ok = closed.cpu <= closedBefore + kClosedSpread;
        met = met && ok;
        std::printf(", %s: %.2f %%, goal no costlier (within %.2f): %s", qPrintable(beforeName),
                    closedBefore, kClosedSpread, Verdict(ok));
    }
    std::printf("\n");
    if (args.contains(QStringLiteral("--closed-only"))) {
        return trend->Logging() && met ? 0 : 1;
    }
    trend->ShowTrend();
    report("1 min in view:", measure(QStringLiteral("1 min")));
    report("10 min in view:", measure(QStringLiteral("10 min")));
    report("1 h in view:", measure(QStringLiteral("1 h")));
    report("the day in view:", measure(QStringLiteral("All")));
    std::printf("Readings held:           %lld (a day of polls, %lld gaps)\n",
                static_cast<long long>(trend->Ring().Size()),
                static_cast<long long>(TrendRing::kCapacity / kBreakEvery));
    const QString rss = PeakRss(pid);
    const bool small = rss.section(u' ', 0, 0).toLongLong() < kMemoryGoalKb;
    met = met && small;
    std::printf("Peak resident memory:    %s, goal under 100 MB: %s\n", qPrintable(rss),
                Verdict(small));
    return trend->Logging() && met ? 0 : 1;
}
