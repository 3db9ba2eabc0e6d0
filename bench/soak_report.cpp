// SPDX-License-Identifier: GPL-3.0-or-later
#include "soak_report.h"

#include <QByteArray>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#ifdef __SANITIZE_ADDRESS__
// The sanitizer's own count of live heap bytes (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

qint64 ResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

QMap<QString, int> g_warnings;

} // namespace

Memory Memory::Now() {
    Memory memory;
    memory.residentKb = ResidentKb();
#ifdef __SANITIZE_ADDRESS__
    memory.heapKb = static_cast<qint64>(__sanitizer_get_current_allocated_bytes() / 1024);
#endif
    return memory;
}

void CountQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg) {
        return;
    }
    if (g_warnings[text]++ == 0) {
        std::fprintf(stderr, "Qt: %s\n", qPrintable(text));
    }
    if (type == QtFatalMsg) {
        std::abort();
    }
}

void PrintProgress(qint64 elapsedMs, const SoakFigures& figures) {
    const Memory now = Memory::Now();
    const QString heap =
        now.heapKb >= 0 ? QStringLiteral(", live heap %1 kB").arg(now.heapKb) : QString();
    std::printf("%6.0f s: resident %lld kB%s, %d Timer3 ticks, %d message boxes, %d "
                "panel restarts\n",
                double(elapsedMs) / 1000, static_cast<long long>(now.residentKb), qPrintable(heap),
                figures.pollTicks, figures.messageBoxes, figures.panelRestarts);
    std::fflush(stdout);
}

bool PrintReport(const SoakFigures& f) {
    int presses = 0;
    std::printf("Soak of %d s, seed %u\n", f.seconds, f.seed);
    std::printf("Key presses:            ");
    for (auto it = f.presses.cbegin(); it != f.presses.cend(); ++it) {
        presses += it.value();
        std::printf(" %s %d", qPrintable(it.key()), it.value());
    }
    std::printf("\n  total %d, typed values %d, deepest nesting %d\n", presses, f.typedValues,
                f.maxNesting);
    std::printf("Faults:                 ");
    int faults = 0;
    for (int kind = 0; kind < kFaultKinds; ++kind) {
        faults += f.faults[kind];
        std::printf(" %s %d,", FaultName(static_cast<Fault>(kind)), f.faults[kind]);
    }
    std::printf("\n  total %d; simulator started %d times\n", faults, f.supplyStarts);
    std::printf("Polls:                   %d Timer3 ticks, %d status queries received by the "
                "supply\n",
                f.pollTicks, f.statusQueries);
    std::printf("Message boxes:           %d; program ends asked for %d; panel restarts %d\n",
                f.messageBoxes, f.programEnds, f.panelRestarts);
    std::printf("Qt warnings:             %d kinds\n", static_cast<int>(g_warnings.size()));
    std::printf("Event loop:              longest stall %lld ms (limit %lld), %d over the limit\n",
                static_cast<long long>(f.maxStallMs), static_cast<long long>(f.stallLimitMs),
                f.stalls);
    std::printf("Resident memory:         start %lld kB, after the first round %lld kB, end %lld "
                "kB\n",
                static_cast<long long>(f.start.residentKb),
                static_cast<long long>(f.baseline.residentKb),
                static_cast<long long>(f.end.residentKb));
    if (f.end.heapKb >= 0) {
        std::printf("Live heap:               start %lld kB, after the first round %lld kB, end "
                    "%lld kB\n",
                    static_cast<long long>(f.start.heapKb),
                    static_cast<long long>(f.baseline.heapKb),
                    static_cast<long long>(f.end.heapKb));
    }
    const double growthMb = double(f.end.JudgedKb() - f.baseline.JudgedKb()) / 1024;

    bool failed = false;
    const auto verdict = [&](bool ok, const QString& what) {
        std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
        failed = failed || !ok;
    };
    verdict(f.mismatches.isEmpty(), "REM reconnects and the displays agree with the supply" +
                                        (f.mismatches.isEmpty() ? QString() : ": " + f.mismatches));
    verdict(f.stalls == 0, QStringLiteral("no stall of the event loop over the limit"));
    verdict(growthMb <= f.maxGrowthMb,
            QStringLiteral("%1 grew %2 MB after the first round, limit %3 MB")
                .arg(f.end.heapKb >= 0 ? "live heap" : "resident memory")
                .arg(growthMb, 0, 'f', 1)
                .arg(f.maxGrowthMb, 0, 'f', 1));
    verdict(f.supplyFailures == 0,
            QStringLiteral("the simulator always started and ended normally"));
    return !failed;
}
