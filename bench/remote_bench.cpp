// SPDX-License-Identifier: GPL-3.0-or-later
// Remote control of the real panel program, headless, against zrm-sim with
// line pacing on: the round trip of a query that needs no traffic, how soon a
// set reaches the wire (the line idle, and a poll in flight), a fresh reading
// next to the wire floor of one status exchange, CPU with a client asking ten
// times a second, and 10 000 pipelined commands carried out in order.
#include "headless_panel.h"
#include "process_figures.h"
#include "sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double kSecondsPerChar = 10.0 / 2400; // start, 8 data and stop bits
constexpr double kSimLatency = 0.005;           // zrm-sim's answer latency
constexpr int kStatusExchangeChars = 2 + 38;    // "L" and CR; the reply with lead and LF
constexpr int kRoundTrips = 1000;
constexpr int kSetTrials = 30;
constexpr int kMeasureTrials = 20;
constexpr int kCpuSeconds = 30;
constexpr int kPipelined = 10000;
constexpr int kTimeoutMs = 30000;

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

// The simulator's log as it grows: the command lines since the last look.
class LogTail {
public:
    explicit LogTail(const QString& path) : file_(path) { (void)file_.open(QIODevice::ReadOnly); }

    QStringList Take() {
        partial_ += file_.readAll();
        QStringList lines;
        qsizetype end = 0;
        while ((end = partial_.indexOf('\n')) >= 0) {
            lines << QString::fromLatin1(partial_.left(end)).section(u' ', 1);
            partial_.remove(0, end + 1);
        }
        return lines;
    }

    // Spins until a command line that satisfies accept comes; its wait in ms,
    // or -1 at the deadline.
    template <typename Accept> double WaitFor(Accept accept, const QElapsedTimer& since) {
        while (since.elapsed() < kTimeoutMs) {
            for (const QString& line : Take()) {
                if (accept(line)) {
                    return static_cast<double>(since.nsecsElapsed()) / 1e6;
                }
            }
        }
        return -1;
    }

private:
    QFile file_;
    QByteArray partial_;
};

class Client {
public:
    bool Connect(const QString& address) {
        socket_.connectToHost(address.section(u':', 0, 0), address.section(u':', 1).toUShort());
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return socket_.waitForConnected(kTimeoutMs);
    }
    void Send(const QByteArray& line) {
        socket_.write(line + '\n');
        socket_.waitForBytesWritten(kTimeoutMs);
    }
    QString ReadLine() {
        while (!socket_.canReadLine()) {
            if (!socket_.waitForReadyRead(kTimeoutMs)) {
                return QStringLiteral("<no reply>");
            }
        }
        return QString::fromLatin1(socket_.readLine()).trimmed();
    }
    QString Ask(const QByteArray& line) {
        Send(line);
        return ReadLine();
    }
    QTcpSocket& Socket() { return socket_; }

private:
    QTcpSocket socket_;
};

QByteArray VoltsCommand(int i) {
    return "VOLT " + QByteArray::number(1 + i % 3000 / 100.0, 'f', 2);
}

QString SetLine(int i) {
    return QStringLiteral("SV %1").arg(1 + i % 3000 / 100.0, 5, 'f', 2, u'0');
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    SimProcess sim;
    const QString port = sim.Start({});
    if (port.isEmpty()) {
        std::fprintf(stderr, "zrm-sim did not start\n");
        return 1;
    }
    HeadlessPanel panel;
    Client client;
    if (!panel.Start(port, {"--scpi=127.0.0.1:0"}) || !client.Connect(panel.RemoteAddress())) {
        std::fprintf(stderr, "no remote control: %s\n", qPrintable(panel.ErrorOutput()));
        return 1;
    }
    const QString address = panel.RemoteAddress();
    // The first answer comes once the connection has been made.
    std::printf("Remote control on %s: %s\n", qPrintable(address), qPrintable(client.Ask("*IDN?")));
    const qint64 pid = panel.Process().processId();
    LogTail log(sim.LogPath());
    log.Take();

    std::vector<double> trips;
    for (int i = 0; i < kRoundTrips; ++i) {
        QElapsedTimer clock;
        clock.start();
        client.Ask("FETC:VOLT?");
        trips.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    const double p99 = Percentile(trips, 0.99);
    std::printf("FETC:VOLT? round trip:   median %.3f ms, p99 %.3f ms over %d, goal p99 under "
                "5 ms: %s\n",
                Percentile(trips, 0.5), p99, kRoundTrips, Verdict(p99 < 5));

    std::vector<double> idleSets;
    for (int i = 0; i < kSetTrials; ++i) {
        const QString line = SetLine(i);
        QElapsedTimer clock;
        clock.start();
        client.Send(VoltsCommand(i));
        idleSets.push_back(log.WaitFor([&](const QString& got) { return got == line; }, clock));
    }
    const double idleWorst = *std::max_element(idleSets.begin(), idleSets.end());
    std::printf("Set to the wire, idle:   median %.2f ms, worst %.2f ms over %d, goal under "
                "10 ms: %s\n",
                Percentile(idleSets, 0.5), idleWorst, kSetTrials, Verdict(idleWorst < 10));

    const double exchangeMs = (kSimLatency + kStatusExchangeChars * kSecondsPerChar) * 1000;
    std::vector<double> measures;
    for (int i = 0; i < kMeasureTrials; ++i) {
        QElapsedTimer clock;
        clock.start();
        client.Ask("MEAS:VOLT?");
        measures.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    const double measureWorst = *std::max_element(measures.begin(), measures.end());
    std::printf("MEAS:VOLT? round trip:   median %.1f ms, worst %.1f ms over %d; wire floor of "
                "one status exchange %.1f ms (%d characters at 2400 baud, 5 ms latency), goal "
                "under floor + 10 ms: %s\n",
                Percentile(measures, 0.5), measureWorst, kMeasureTrials, exchangeMs,
                kStatusExchangeChars, Verdict(measureWorst < exchangeMs + 10));

    // With the output on the poll runs: each set is sent as a poll goes out.
    client.Send("OUTP ON");
    std::vector<double> busySets;
    for (int i = 0; i < kSetTrials; ++i) {
        QElapsedTimer any;
        any.start();
        log.WaitFor([](const QString& got) { return got == u"L"; }, any);
        const QString line = SetLine(i + kSetTrials);
        QElapsedTimer clock;
        clock.start();
        client.Send(VoltsCommand(i + kSetTrials));
        busySets.push_back(log.WaitFor([&](const QString& got) { return got == line; }, clock));
    }
    const double busyWorst = *std::max_element(busySets.begin(), busySets.end());
    std::printf("Set to the wire, poll in flight: median %.1f ms, worst %.1f ms over %d, goal "
                "under one exchange + 10 ms = %.1f ms: %s\n",
                Percentile(busySets, 0.5), busyWorst, kSetTrials, exchangeMs + 10,
                Verdict(busyWorst < exchangeMs + 10));

    // A client asking for the last reading ten times a second, with the poll on.
    const double cpuBefore = CpuSeconds(pid);
    QElapsedTimer span;
    span.start();
    for (int i = 0; i < kCpuSeconds * 10; ++i) {
        client.Ask("FETC?");
        while (span.elapsed() < (i + 1) * 100) {
            client.Socket().waitForReadyRead(static_cast<int>((i + 1) * 100 - span.elapsed()));
        }
    }
    const double share = 100 * (CpuSeconds(pid) - cpuBefore) / (span.elapsed() / 1000.0);
    std::printf("CPU, FETC? 10 times a second with the poll on: %.2f %% of a core over %d s, "
                "goal under 1 %%: %s\n",
                share, kCpuSeconds, Verdict(share < 1));

    client.Send("OUTP OFF");
    QElapsedTimer off;
    off.start();
    log.WaitFor([](const QString& got) { return got == u"KO"; }, off);
    QByteArray pipeline;
    QStringList expected;
    for (int i = 0; i < kPipelined; ++i) {
        pipeline += VoltsCommand(i) + '\n';
        expected << SetLine(i);
    }
    QElapsedTimer clock;
    clock.start();
    client.Socket().write(pipeline + "*OPC?\n");
    const QString done = client.ReadLine();
    const double seconds = static_cast<double>(clock.elapsed()) / 1000;
    QStringList sent;
    log.WaitFor(
        [&](const QString& got) {
            if (got != u"L") {
                sent << got;
            }
            return sent.size() >= kPipelined;
        },
        clock);
    const bool inOrder = done == u"1" && sent == expected;
    std::printf("%d pipelined sets:     carried out in %.2f s (%.0f a second), %lld on the "
                "wire, goal all in order: %s\n",
                kPipelined, seconds, kPipelined / seconds, static_cast<long long>(sent.size()),
                Verdict(inOrder));

    return panel.Terminate() ? 0 : 1;
}
