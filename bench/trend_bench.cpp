// SPDX-License-Identifier: GPL-3.0-or-later
// The panel with a day of readings in its trend, polling zrm-sim with line
// pacing on and a CSV log running: CPU use with the trend window closed, with
// its default ten-minute view and with the whole day in view, each over a
// span that holds at least two redraws of the view, and peak resident
// memory. The panel runs inside this process, so the figures are its own.
#include "panel_harness.h"
#include "process_figures.h"
#include "sim_process.h"
#include "trend_controller.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kSeconds = 30;
// The window is measured once it has taken a poll or two in each view.
constexpr int kSettleMs = 2500;
// A view is redrawn at every poll, or once its buckets have moved by one:
// each view is measured over at least two of its redraws.
constexpr qint64 kPollMs = 1000;
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
    TrendWindow& window = *trend->Window();
    struct Figure {
        double cpu;  // percent of a core
        int seconds; // measured over
        int redraws; // of the charts meanwhile
    };
    const auto measure = [&](const QString& range) {
        window.range->setCurrentText(range);
        Wait(kSettleMs);
        const qint64 redrawEvery = std::max(window.View().BucketMs(), kPollMs);
        const int seconds = static_cast<int>(std::max<qint64>(kSeconds, 2 * redrawEvery / 1000));
        const double cpu = CpuSeconds(pid);
        const int redraws = window.Redraws();
        Wait(seconds * 1000);
        return Figure{100 * (CpuSeconds(pid) - cpu) / seconds, seconds, window.Redraws() - redraws};
    };
    const auto report = [](const char* view, const Figure& figure) {
        std::printf("CPU, %-20s %.2f %% of a core over %d s (%d redraws), goal under 2 %%: %s\n",
                    view, figure.cpu, figure.seconds, figure.redraws,
                    Verdict(figure.cpu < 2 && figure.redraws > 0));
    };
    window.hide();
    const Figure closed = measure(QStringLiteral("10 min"));
    std::printf("CPU, the trend closed:   %.2f %% of a core over %d s (the panel's polling and "
                "the log)\n",
                closed.cpu, closed.seconds);
    trend->ShowTrend();
    report("10 min in view:", measure(QStringLiteral("10 min")));
    report("the day in view:", measure(QStringLiteral("All")));
    std::printf("Readings held:           %lld (a day of polls)\n",
                static_cast<long long>(trend->Ring().Size()));
    const QString rss = PeakRss(pid);
    std::printf("Peak resident memory:    %s, goal under 100 MB: %s\n", qPrintable(rss),
                Verdict(rss.section(u' ', 0, 0).toLongLong() < 100 * 1024));
    return trend->Logging() ? 0 : 1;
}
