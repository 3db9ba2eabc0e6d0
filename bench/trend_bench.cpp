// SPDX-License-Identifier: GPL-3.0-or-later
// The panel with a day of readings in its trend, polling zrm-sim with line
// pacing on and a CSV log running: CPU use with the trend window closed, with
// its default ten-minute view and with the whole day in view, and peak
// resident memory. The panel runs inside this process, so the figures are its own.
#include "panel_harness.h"
#include "process_figures.h"
#include "sim_process.h"
#include "trend_controller.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kSeconds = 30;
// The window is measured once it has taken a poll or two in each view.
constexpr int kSettleMs = 2500;
// Output switched off for a while every hour: the day has gaps to draw.
constexpr qsizetype kBreakEvery = 3600;

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

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Static, so it outlives the panel's single-copy lock in it.
    static QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);

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
    const auto measure = [&](const QString& range) {
        trend->Window()->range->setCurrentText(range);
        Wait(kSettleMs);
        const double cpu = CpuSeconds(pid);
        Wait(kSeconds * 1000);
        return 100 * (CpuSeconds(pid) - cpu) / kSeconds;
    };
    trend->Window()->hide();
    const double closed = measure(QStringLiteral("10 min"));
    std::printf("CPU, the trend closed:   %.2f %% of a core over %d s (the panel's polling and "
                "the log)\n",
                closed, kSeconds);
    trend->ShowTrend();
    const double tenMinutes = measure(QStringLiteral("10 min"));
    std::printf("CPU, 10 min in view:     %.2f %% of a core over %d s, goal under 2 %%: %s\n",
                tenMinutes, kSeconds, Verdict(tenMinutes < 2));
    const double day = measure(QStringLiteral("All"));
    std::printf("CPU, the day in view:    %.2f %% of a core over %d s, goal under 2 %%: %s\n", day,
                kSeconds, Verdict(day < 2));
    std::printf("Readings held:           %lld (a day of polls)\n",
                static_cast<long long>(trend->Ring().Size()));
    const QString rss = PeakRss(pid);
    std::printf("Peak resident memory:    %s, goal under 100 MB: %s\n", qPrintable(rss),
                Verdict(rss.section(u' ', 0, 0).toLongLong() < 100 * 1024));
    return trend->Logging() ? 0 : 1;
}
