// SPDX-License-Identifier: GPL-3.0-or-later
// One run of the real panel program against zrm-sim with line pacing on:
// start-up to "Ready" next to the floor that the line allows, CPU use while
// polling and during reply timeouts, and peak resident memory.
#include "process_figures.h"
#include "sim_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <utility>

namespace {

constexpr double kSecondsPerChar = 10.0 / 2400; // start, 8 data and stop bits
constexpr double kStartupTick = 0.010;
constexpr double kPausesInConnection = 2 * 0.15; // after "SUM" and after "U"
constexpr int kPollingSeconds = 30;
// Four silent polls: the fifth timeout would open the lost-link box.
constexpr int kSilentSeconds = 4;

// Reply lines, lead character and LF included, of the simulated ZRM-522 with
// its percent offsets at 100.
int ReplyLength(const QString& command) {
    if (command == u"L") {
        return 38;
    }
    if (command == u"B" || command == u"D") {
        return 5; // "S100\n"
    }
    if (command == u"U") {
        return 4; // "S40\n", the maximum after "SUM"
    }
    return 0;
}

bool HasRestoringCommand(const SimProcess& sim) {
    for (const QString& command : sim.LoggedCommands()) {
        if (command.startsWith(u"SU ")) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    SimProcess sim;
    const QString port = sim.Start({"--output-on"});
    if (port.isEmpty()) {
        std::fprintf(stderr, "zrm-sim did not start\n");
        return 1;
    }
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("ZRM_COM1", port);
    for (int n = 2; n <= 4; ++n) {
        env.insert(QStringLiteral("ZRM_COM%1").arg(n), runtime.filePath("missing"));
    }

    // "Ready" follows the restoring "SU" at once: the moment the simulator
    // logs it is the moment the panel is ready.
    QFileSystemWatcher watcher({sim.LogPath()});
    QEventLoop ready;
    qint64 readyMs = -1;
    QElapsedTimer clock;
    QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, [&] {
        if (readyMs < 0 && HasRestoringCommand(sim)) {
            readyMs = clock.elapsed();
            ready.quit();
        }
    });
    QTimer::singleShot(20000, &ready, &QEventLoop::quit);

    QProcess panel;
    panel.setProcessEnvironment(env);
    panel.setProcessChannelMode(QProcess::ForwardedChannels);
    clock.start();
    panel.start(ZRM_PANEL_PATH, {});
    if (!panel.waitForStarted()) {
        std::fprintf(stderr, "zrm-panel did not start\n");
        return 1;
    }
    ready.exec();
    if (readyMs < 0) {
        std::fprintf(stderr, "the panel did not get ready\n");
        panel.kill();
        return 1;
    }
    const qint64 pid = panel.processId();

    int sent = 0;
    int received = 0;
    const QStringList commands = sim.LoggedCommands();
    for (const QString& command : commands) {
        sent += static_cast<int>(command.size()) + 1;
        received += ReplyLength(command);
    }
    const double floor = kStartupTick + (sent + received) * kSecondsPerChar + kPausesInConnection;
    const double readySeconds = static_cast<double>(readyMs) / 1000;
    std::printf("Start to \"Ready\":        %.3f s (%s)\n", readySeconds,
                qPrintable(commands.join(u' ')));
    std::printf("Wire floor:              %.3f s (%d characters sent, %d received at 2400 baud, "
                "10 ms start-up tick, 2 x 0.15 s pauses)\n",
                floor, sent, received);
    std::printf("  over the floor:        %.3f s, goal under 0.250 s: %s\n", readySeconds - floor,
                Verdict(readySeconds - floor < 0.25));

    // CPU share of one core and "L" polls sent over a span of seconds.
    const auto measure = [&](int seconds) {
        const auto polls = [&] { return sim.LoggedCommands().count(QStringLiteral("L")); };
        const double cpu = CpuSeconds(pid);
        const qsizetype before = polls();
        Wait(seconds * 1000);
        return std::pair{100 * (CpuSeconds(pid) - cpu) / seconds,
                         static_cast<long long>(polls() - before)};
    };
    Wait(1500);
    const auto [pollingShare, polls] = measure(kPollingSeconds);
    std::printf("CPU while polling:       %.2f %% of a core over %d s (%lld polls), "
                "goal under 1 %%: %s\n",
                pollingShare, kPollingSeconds, polls, Verdict(pollingShare < 1));
    sim.Control("silent 1");
    const auto [silentShare, timeouts] = measure(kSilentSeconds);
    std::printf("CPU in reply timeouts:   %.2f %% of a core over %d s of a silent supply "
                "(%lld timed-out polls), goal under 2 %%: %s\n",
                silentShare, kSilentSeconds, timeouts, Verdict(silentShare < 2));

    const QString rss = PeakRss(pid);
    std::printf("Peak resident memory:    %s, goal under 60 MB: %s\n", qPrintable(rss),
                Verdict(rss.section(u' ', 0, 0).toLongLong() < 60 * 1024));

    panel.kill();
    panel.waitForFinished();
    return 0;
}
