// SPDX-License-Identifier: GPL-3.0-or-later
// The supply simulator, seen from the serial line: a small client talks to zrm-sim over
// its real pseudo-terminal and checks the bytes that come back.
#include "sim_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kReplyTimeoutMs = 5000;

// The PC's end of the serial cable, opened with plain POSIX calls.
class LineClient {
public:
    LineClient() = default;
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;
    ~LineClient() { Close(); }

    bool Open(const QString& path) {
        Close();
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        pending_.clear();
        return fd_ >= 0 && tcflush(fd_, TCIOFLUSH) == 0;
    }

    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

    int fd() const { return fd_; }

    bool Send(const QByteArray& command) {
        const QByteArray line = command + '\r';
        return ::write(fd_, line.constData(), static_cast<size_t>(line.size())) == line.size();
    }

    // The next reply line up to and including its LF; what came so far on timeout.
    QByteArray ReadLine(int timeoutMs = kReplyTimeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (!pending_.contains('\n')) {
            const qint64 left = timeoutMs - clock.elapsed();
            pollfd pfd{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0 || !ReadSome()) {
                return std::exchange(pending_, {});
            }
        }
        const qsizetype end = pending_.indexOf('\n') + 1;
        const QByteArray line = pending_.left(end);
        pending_.remove(0, end);
        return line;
    }

    QByteArray Ask(const QByteArray& command) { return Send(command) ? ReadLine() : QByteArray(); }

    // True once the other end has gone away (a read reports end or an I/O error).
    bool WaitForHangUp(int timeoutMs = kReplyTimeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            pollfd pfd{fd_, POLLIN, 0};
            const int left = static_cast<int>(timeoutMs - clock.elapsed());
            if (::poll(&pfd, 1, std::max(left, 0)) > 0 && (pfd.revents & (POLLHUP | POLLERR))) {
                return true;
            }
            if (pfd.revents & POLLIN && !ReadSome()) {
                return true;
            }
        }
        return false;
    }

private:
    bool ReadSome() {
        char buffer[256];
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count > 0) {
            pending_.append(buffer, count);
        }
        return count > 0 || (count < 0 && errno == EAGAIN);
    }

    int fd_ = -1;
    QByteArray pending_;
};

// Starts the simulator with `args` and opens its line.
bool StartSession(SimProcess& sim, LineClient& line, const QStringList& args) {
    const QString path = sim.Start(args);
    return !path.isEmpty() && line.Open(path);
}

QStringList FastArgs(const QStringList& args) {
    return QStringList{"--no-pacing"} + args;
}

QStringList Split(const QString& text) {
    return text.split(' ', Qt::SkipEmptyParts);
}

bool WaitForGone(const QString& path) {
    return QTest::qWaitFor([&] { return !QFileInfo(path).isSymLink(); }, kReplyTimeoutMs);
}

} // namespace

class SimTest : public QObject {
    Q_OBJECT
private slots:
    void help_data();
    void help();
    void badArguments_data();
    void badArguments();
    void lineSettings();
    void statusLine_data();
    void statusLine();
    void commands_data();
    void commands();
    void fineStepsReachTheBoundExactly();
    void load_data();
    void load();
    void loadChangedWhileRunning();
    void chargeDelivered();
    void controlFlags();
    void pacing();
    void repliesKeepTheirOrder();
    void silent();
    void silentAfter();
    void late();
    void drop();
    void truncateStatus();
    void badDigit();
    void garbage();
    void unplugAfter();
    void unplugAndReplug();
    void portReopened();
    void log();
    void stopRemovesLink_data();
    void stopRemovesLink();
    void linkReplacesOldLink();
    void linkRefusesOtherFiles();
};

void SimTest::help_data() {
    QTest::addColumn<QString>("word");
    for (const char* word : {"--model",        "--vset",
                             "--vlimit",       "--ilimit",
                             "--plimit",       "--plus",
                             "--minus",        "--output-on",
                             "--fine",         "--locked",
                             "--overtemp",     "--load-ohms",
                             "--link",         "--log",
                             "--exit-on-eof",  "--no-pacing",
                             "--latency-ms",   "--silent",
                             "--silent-after", "--late-ms",
                             "--drop",         "--truncate-status",
                             "--bad-digit",    "--garbage",
                             "--seed",         "--unplug-after",
                             "--battery",      "battery EMPTY_V",
                             "load OHMS",      "overtemp 0|1",
                             "locked 0|1",     "silent 0|1",
                             "late MS",        "garbage 0|1",
                             "unplug",         "replug",
                             "state",          "quit",
                             "<ms> <command>"}) {
        QTest::newRow(word) << QString(word);
    }
}

void SimTest::help() {
    QFETCH(QString, word);
    QProcess process;
    process.start(ZRM_SIM_PATH, {"--help"});
    QVERIFY(process.waitForFinished(kReplyTimeoutMs));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(process.readAllStandardOutput().contains(word.toLatin1()), qPrintable(word));
}

void SimTest::badArguments_data() {
    QTest::addColumn<QString>("args");
    QTest::newRow("unknown option") << "--bogus";
    QTest::newRow("unknown model") << "--model ZRM-999";
    QTest::newRow("not a number") << "--vset 5x";
    QTest::newRow("missing value") << "--vlimit";
    QTest::newRow("zero load") << "--load-ohms 0";
    QTest::newRow("position zero") << "--bad-digit 0";
    QTest::newRow("negative count") << "--silent-after -1";
    QTest::newRow("value on a flag") << "--fine=1";
    QTest::newRow("battery of three values") << "--battery 11,14.4,1";
    QTest::newRow("battery full below empty") << "--battery 14.4,11,1,0.5";
    QTest::newRow("battery of no capacity") << "--battery 11,14.4,0,0.5";
    QTest::newRow("battery without resistance") << "--battery 11,14.4,1,0";
}

void SimTest::badArguments() {
    QFETCH(QString, args);
    QProcess process;
    process.start(ZRM_SIM_PATH, Split(args));
    QVERIFY(process.waitForFinished(kReplyTimeoutMs));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().contains("zrm-sim:"));
}

void SimTest::lineSettings() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({})));
    termios settings{};
    QCOMPARE(tcgetattr(line.fd(), &settings), 0);
    QCOMPARE(cfgetospeed(&settings), speed_t(B2400));
    QCOMPARE(cfgetispeed(&settings), speed_t(B2400));
    QCOMPARE(settings.c_lflag & (ECHO | ICANON), tcflag_t(0));
    QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(settings.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
}

void SimTest::statusLine_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ZRM-711") << "--model ZRM-711"
                             << QByteArray("S05.00 0.000 000.0 60 3.50 210 000000\n");
    QTest::newRow("ZRM-522 is the default")
        << "" << QByteArray("S05.00 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("ZRM-3033") << "--model ZRM-3033"
                              << QByteArray("S05.00 0.000 000.0 20 9.99 199 000000\n");
    QTest::newRow("output off shows the set-point")
        << "--vset 12.34" << QByteArray("S12.34 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("every digit set") << "--output-on --overtemp --fine --locked --vset 12"
                                     << QByteArray("S12.00 1.200 014.4 40 5.00 200 111001\n");
    QTest::newRow("initial values") << "--vlimit 30 --ilimit 2.5 --plimit 70 --vset 7.5"
                                    << QByteArray("S07.50 0.000 000.0 30 2.50 070 000000\n");
    QTest::newRow("initial values clamped")
        << "--model ZRM-3033 --vlimit 25 --ilimit 12 --plimit 250 --vset 30"
        << QByteArray("S20.00 0.000 000.0 20 9.99 199 000000\n");
    QTest::newRow("power limit within current and voltage")
        << "--vlimit 12" << QByteArray("S05.00 0.000 000.0 12 5.00 060 000000\n");
    QTest::newRow("smallest limits") << "--vlimit 0 --ilimit 0 --plimit 0 --vset 0"
                                     << QByteArray("S00.00 0.000 000.0 01 0.02 001 000000\n");
}

void SimTest::statusLine() {
    QFETCH(QString, args);
    QFETCH(QByteArray, expected);
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs(Split(args))));
    const QByteArray reply = line.Ask("L");
    QCOMPARE(reply, expected);
    // One lead character, 36 payload characters, LF; blanks between the fields.
    QCOMPARE(reply.size(), 38);
    static const QRegularExpression layout(
        R"(^S\d\d\.\d\d \d\.\d\d\d \d\d\d\.\d \d\d \d\.\d\d \d\d\d [01][01][01][012]0[01]\n$)");
    QVERIFY(layout.match(QString::fromLatin1(reply)).hasMatch());
}

void SimTest::commands_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("expected");
    using L = QStringList;
    const QByteArray idle = "S05.00 0.000 000.0 40 5.00 200 000000\n";

    QTest::newRow("SV sets") << "" << L{"SV 07.50"} << QByteArray("L")
                             << QByteArray("S07.50 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("SV rounds to hundredths")
        << "" << L{"SV 7.505"} << QByteArray("L")
        << QByteArray("S07.51 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("SV clamped to the limit")
        << "--vlimit 12" << L{"SV 15.00"} << QByteArray("L")
        << QByteArray("S12.00 0.000 000.0 12 5.00 060 000000\n");
    QTest::newRow("SV clamped to zero") << "" << L{"SV -3"} << QByteArray("L")
                                        << QByteArray("S00.00 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("SV malformed is ignored") << "" << L{"SV 7.5x"} << QByteArray("L") << idle;
    QTest::newRow("SV+") << "" << L{"SV+"} << QByteArray("L")
                         << QByteArray("S06.00 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("SV-") << "" << L{"SV-"} << QByteArray("L")
                         << QByteArray("S04.00 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("SV+ fine") << "" << L{"KF", "SV+"} << QByteArray("L")
                              << QByteArray("S05.01 0.000 000.0 40 5.00 200 001000\n");
    QTest::newRow("SV+ onto the limit") << "--vset 39" << L{"SV+"} << QByteArray("L")
                                        << QByteArray("S40.00 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("SV+ past the limit does nothing")
        << "--vset 39.5" << L{"SV+"} << QByteArray("L")
        << QByteArray("S39.50 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("SV- below zero does nothing")
        << "--vset 0.5" << L{"SV-"} << QByteArray("L")
        << QByteArray("S00.50 0.000 000.0 40 5.00 200 000000\n");

    QTest::newRow("SU sets, power follows")
        << "" << L{"SU 30"} << QByteArray("L")
        << QByteArray("S05.00 0.000 000.0 30 5.00 150 000000\n");
    QTest::newRow("SU lowers the set-point")
        << "--vset 20" << L{"SU 12"} << QByteArray("L")
        << QByteArray("S12.00 0.000 000.0 12 5.00 060 000000\n");
    QTest::newRow("SU clamped to the maximum")
        << "" << L{"SU 99"} << QByteArray("U") << QByteArray("S40\n");
    QTest::newRow("SU clamped to 1") << "" << L{"SU 00"} << QByteArray("U") << QByteArray("S01\n");
    QTest::newRow("SU+ at the maximum does nothing")
        << "" << L{"SU+"} << QByteArray("U") << QByteArray("S40\n");
    QTest::newRow("SU-") << "" << L{"SU-"} << QByteArray("L")
                         << QByteArray("S05.00 0.000 000.0 39 5.00 195 000000\n");
    QTest::newRow("SU- at 1 does nothing")
        << "--vlimit 1" << L{"SU-"} << QByteArray("U") << QByteArray("S01\n");
    QTest::newRow("SUM, power follows")
        << "--vlimit 10 --ilimit 2.55" << L{"SUM"} << QByteArray("L")
        << QByteArray("S05.00 0.000 000.0 40 2.55 102 000000\n");

    QTest::newRow("SI sets, power follows")
        << "" << L{"SI 2.50"} << QByteArray("L")
        << QByteArray("S05.00 0.000 000.0 40 2.50 100 000000\n");
    QTest::newRow("I") << "" << L{"SI 2.50"} << QByteArray("I") << QByteArray("S2.50\n");
    QTest::newRow("SI clamped to the maximum")
        << "" << L{"SI 7.00"} << QByteArray("I") << QByteArray("S5.00\n");
    QTest::newRow("SI clamped to the minimum")
        << "" << L{"SI 0.00"} << QByteArray("I") << QByteArray("S0.02\n");
    QTest::newRow("SI+ at the maximum does nothing")
        << "" << L{"SI+"} << QByteArray("I") << QByteArray("S5.00\n");
    QTest::newRow("SI-") << "" << L{"SI-"} << QByteArray("L")
                         << QByteArray("S05.00 0.000 000.0 40 4.90 196 000000\n");
    QTest::newRow("SI- fine") << "" << L{"KF", "SI-"} << QByteArray("L")
                              << QByteArray("S05.00 0.000 000.0 40 4.99 199 001000\n");
    QTest::newRow("SI- at the minimum does nothing")
        << "--ilimit 0.02" << L{"SI-"} << QByteArray("I") << QByteArray("S0.02\n");
    QTest::newRow("SI+ fine from the minimum")
        << "--ilimit 0.02" << L{"KF", "SI+"} << QByteArray("I") << QByteArray("S0.03\n");
    QTest::newRow("SIM, power follows") << "--vlimit 30 --ilimit 1" << L{"SIM"} << QByteArray("L")
                                        << QByteArray("S05.00 0.000 000.0 30 5.00 150 000000\n");

    QTest::newRow("SP sets, current follows")
        << "" << L{"SP 100"} << QByteArray("L")
        << QByteArray("S05.00 0.000 000.0 40 2.53 100 000000\n");
    QTest::newRow("SP then I") << "" << L{"SP 095"} << QByteArray("I") << QByteArray("S2.40\n");
    QTest::newRow("SP clamped to the maximum") << "" << L{"SP 300"} << QByteArray("L") << idle;
    QTest::newRow("SP clamped to 1") << "" << L{"SP 0"} << QByteArray("L")
                                     << QByteArray("S05.00 0.000 000.0 40 0.05 001 000000\n");
    QTest::newRow("SP bounded by current at the voltage limit")
        << "--vlimit 10" << L{"SP 150"} << QByteArray("L")
        << QByteArray("S05.00 0.000 000.0 10 5.00 050 000000\n");
    QTest::newRow("SP+ at the maximum does nothing") << "" << L{"SP+"} << QByteArray("L") << idle;
    QTest::newRow("SP- current capped at the maximum")
        << "--model ZRM-711" << L{"SP-"} << QByteArray("L")
        << QByteArray("S05.00 0.000 000.0 60 3.50 209 000000\n");
    QTest::newRow("SP-") << "--plimit 100" << L{"SP-"} << QByteArray("L")
                         << QByteArray("S05.00 0.000 000.0 40 2.50 099 000000\n");

    QTest::newRow("SPM") << "--vlimit 10 --ilimit 1 --plimit 5" << L{"SPM"} << QByteArray("L")
                         << idle;
    QTest::newRow("SPM ZRM-3033") << "--model ZRM-3033 --vlimit 10 --ilimit 1 --plimit 5"
                                  << L{"SPM"} << QByteArray("L")
                                  << QByteArray("S05.00 0.000 000.0 20 9.99 199 000000\n");

    QTest::newRow("B") << "--plus 110" << L{} << QByteArray("B") << QByteArray("S110\n");
    QTest::newRow("D") << "--minus 95" << L{} << QByteArray("D") << QByteArray("S095\n");
    QTest::newRow("SB+") << "" << L{"SB+"} << QByteArray("B") << QByteArray("S101\n");
    QTest::newRow("SB+ at 150 does nothing")
        << "--plus 150" << L{"SB+"} << QByteArray("B") << QByteArray("S150\n");
    QTest::newRow("SB- at 100 does nothing")
        << "" << L{"SB-"} << QByteArray("B") << QByteArray("S100\n");
    QTest::newRow("SD-") << "" << L{"SD-"} << QByteArray("D") << QByteArray("S099\n");
    QTest::newRow("SD- at 50 does nothing")
        << "--minus 50" << L{"SD-"} << QByteArray("D") << QByteArray("S050\n");
    QTest::newRow("SD+ at 100 does nothing")
        << "" << L{"SD+"} << QByteArray("D") << QByteArray("S100\n");

    QTest::newRow("KO switches on") << "" << L{"KO"} << QByteArray("L")
                                    << QByteArray("S05.00 0.500 002.5 40 5.00 200 100000\n");
    QTest::newRow("KO twice switches off") << "" << L{"KO", "KO"} << QByteArray("L") << idle;
    QTest::newRow("KF") << "" << L{"KF"} << QByteArray("L")
                        << QByteArray("S05.00 0.000 000.0 40 5.00 200 001000\n");
    QTest::newRow("KN after KF") << "" << L{"KF", "KN"} << QByteArray("L") << idle;

    QTest::newRow("unknown command") << "" << L{"XYZ"} << QByteArray("U") << QByteArray("S40\n");
    QTest::newRow("lower case") << "" << L{"l", "u"} << QByteArray("U") << QByteArray("S40\n");
    QTest::newRow("value on a step command") << "" << L{"SB 5", "SV+5"} << QByteArray("L") << idle;
    QTest::newRow("line feeds ignored") << "" << L{"\nSV 10\n"} << QByteArray("L")
                                        << QByteArray("S10.00 0.000 000.0 40 5.00 200 000000\n");
    QTest::newRow("empty lines ignored")
        << "" << L{"", ""} << QByteArray("U") << QByteArray("S40\n");
}

void SimTest::commands() {
    QFETCH(QString, args);
    QFETCH(QStringList, commands);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, expected);
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs(Split(args))));
    for (const QString& command : commands) {
        QVERIFY(line.Send(command.toLatin1()));
    }
    // The first line to come back answers the query: the commands before it said nothing.
    QCOMPARE(line.Ask(query), expected);
}

void SimTest::fineStepsReachTheBoundExactly() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--model", "ZRM-711", "--vset", "59.50", "--fine"})));
    for (int i = 0; i < 50; ++i) {
        QVERIFY(line.Send("SV+"));
    }
    QCOMPARE(line.Ask("L").left(6), QByteArray("S60.00"));
    QVERIFY(line.Send("SV+"));
    QCOMPARE(line.Ask("L").left(6), QByteArray("S60.00"));
    QVERIFY(line.Send("SV 0.50"));
    for (int i = 0; i < 51; ++i) {
        QVERIFY(line.Send("SV-"));
    }
    QCOMPARE(line.Ask("L").left(6), QByteArray("S00.00"));
    QCOMPARE(sim.State().value("vset"), QString("00.00"));
}

void SimTest::load_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("constant voltage")
        << "--vset 12 --load-ohms 10" << QByteArray("S12.00 1.200 014.4 40 5.00 200 100000\n");
    QTest::newRow("constant current") << "--vset 12 --ilimit 0.5 --load-ohms 10"
                                      << QByteArray("S05.00 0.500 002.5 40 0.50 200 100100\n");
    QTest::newRow("constant power") << "--vset 20 --plimit 20 --load-ohms 10"
                                    << QByteArray("S14.14 1.414 020.0 40 5.00 020 100200\n");
    QTest::newRow("constant current at 9.99 A")
        << "--model ZRM-3033 --vset 20 --load-ohms 1"
        << QByteArray("S09.99 9.990 099.8 20 9.99 199 100100\n");
    QTest::newRow("set-point on the current bound stays CV")
        << "--vset 5 --ilimit 0.5 --load-ohms 10"
        << QByteArray("S05.00 0.500 002.5 40 0.50 200 100000\n");
    QTest::newRow("zero set-point")
        << "--vset 0" << QByteArray("S00.00 0.000 000.0 40 5.00 200 100000\n");
    // A battery at 11 V behind 0.5 ohm, too large to charge noticeably during the row.
    const QString battery = "--battery 11,14.4,100,0.5 ";
    QTest::newRow("battery: the current its resistance lets through")
        << battery + "--vset 11.2" << QByteArray("S11.20 0.400 004.5 40 5.00 200 100000\n");
    QTest::newRow("battery: constant current")
        << battery + "--vset 12 --ilimit 1"
        << QByteArray("S11.50 1.000 011.5 40 1.00 200 100100\n");
    QTest::newRow("battery: constant power")
        << battery + "--vset 14 --plimit 5"
        << QByteArray("S11.22 0.446 005.0 40 5.00 005 100200\n");
    QTest::newRow("battery above the set-point takes nothing")
        << battery + "--vset 10" << QByteArray("S11.00 0.000 000.0 40 5.00 200 100000\n");
}

void SimTest::load() {
    QFETCH(QString, args);
    QFETCH(QByteArray, expected);
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs(Split(args) << "--output-on")));
    QCOMPARE(line.Ask("L"), expected);
}

void SimTest::loadChangedWhileRunning() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--vset", "12", "--output-on"})));
    QCOMPARE(line.Ask("L"), QByteArray("S12.00 1.200 014.4 40 5.00 200 100000\n"));
    sim.Control("load 0");
    sim.Control("load 2x");
    QCOMPARE(sim.State().value("load"), QString("10"));
    sim.Control("load 2");
    QCOMPARE(sim.State().value("load"), QString("2"));
    QCOMPARE(line.Ask("L"), QByteArray("S10.00 5.000 050.0 40 5.00 200 100100\n"));
    QVERIFY(line.Send("KO"));
    QCOMPARE(line.Ask("L"), QByteArray("S12.00 0.000 000.0 40 5.00 200 000000\n"));
}

// A small battery charged at constant current and then constant voltage: the current
// falls as its voltage nears the set-point; the charge stops with the output.
void SimTest::chargeDelivered() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--vset", "14.4", "--ilimit", "1"})));
    sim.Control("battery 11,14.4,x,0.5");
    QCOMPARE(sim.State().value("load"), QString("10"));
    sim.Control("battery 11,14.4,0.001,0.5");
    QMap<QString, QString> state = sim.State();
    QCOMPARE(state.value("load"), QString("battery"));
    QCOMPARE(state.value("battery_v"), QString("11.000"));
    QCOMPARE(state.value("charge_ah"), QString("0.000000"));

    QVERIFY(line.Send("KO"));
    QByteArray reply = line.Ask("L");
    QCOMPARE(reply.mid(7, 5), QByteArray("1.000"));
    QCOMPARE(reply.at(34), '1'); // constant current
    // 3.6 A s to fill it: constant current for about 3 s, then the current falls.
    QTRY_VERIFY_WITH_TIMEOUT(
        (reply = line.Ask("L")).mid(7, 5).toDouble() < 0.05 && reply.at(34) == '0', 20000);
    QCOMPARE(reply.left(6), QByteArray("S14.40"));

    const int logged = static_cast<int>(sim.Log().size());
    QVERIFY(line.Send("KO"));
    QVERIFY(sim.WaitForLogCount(logged + 1));
    state = sim.State();
    const double charge = state.value("charge_ah").toDouble();
    QVERIFY2(charge > 0.00095 && charge <= 0.001, qPrintable(state.value("charge_ah")));
    QVERIFY(state.value("battery_v").toDouble() > 14.3);
    // The energy at a voltage between the battery's empty and the set-point.
    const double volts = state.value("energy_wh").toDouble() / charge;
    QVERIFY2(volts > 11.5 && volts < 14.4, qPrintable(QString::number(volts)));
    QCOMPARE(line.Ask("L").left(13), QByteArray("S14.40 0.000 "));
    QCOMPARE(sim.State().value("charge_ah"), state.value("charge_ah"));

    sim.Control("load 10");
    state = sim.State();
    QCOMPARE(state.value("load"), QString("10"));
    QVERIFY(!state.contains("battery_v"));
}

void SimTest::controlFlags() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({})));
    sim.Control("overtemp 1");
    sim.Control("locked 1");
    QVERIFY(line.Send("SV 12.5"));
    QVERIFY(line.Send("KO"));
    QVERIFY(sim.WaitForLogCount(2));
    QMap<QString, QString> state = sim.State();
    // What the output delivered grows while it is on: chargeDelivered checks it.
    QVERIFY(state.remove("charge_ah") == 1 && state.remove("energy_wh") == 1);
    const QMap<QString, QString> expected{
        {"vset", "12.50"}, {"vlimit", "40"},  {"ilimit", "5.00"},   {"plimit", "200"},
        {"plus", "100"},   {"minus", "100"},  {"output", "1"},      {"fine", "0"},
        {"locked", "1"},   {"overtemp", "1"}, {"model", "ZRM-522"}, {"load", "10"}};
    QCOMPARE(state, expected);
    QCOMPARE(line.Ask("L"), QByteArray("S12.50 1.250 015.6 40 5.00 200 110001\n"));
    sim.Control("overtemp 0");
    sim.Control("locked 0");
    QCOMPARE(sim.State().value("locked"), QString("0"));
    QCOMPARE(line.Ask("L").right(7), QByteArray("100000\n"));
}

void SimTest::pacing() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, {}));
    QElapsedTimer clock;
    clock.start();
    const QByteArray reply = line.Ask("L");
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(reply.size(), 38);
    // 38 characters at 240 characters a second take 158 ms on the line.
    QVERIFY2(elapsed >= 150, qPrintable(QString::number(elapsed)));
}

void SimTest::repliesKeepTheirOrder() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, {"--plus", "120", "--minus", "80"}));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(line.Send("U"));
    QVERIFY(line.Send("I"));
    QVERIFY(line.Send("B"));
    QVERIFY(line.Send("D"));
    QCOMPARE(line.ReadLine(), QByteArray("S40\n"));
    QCOMPARE(line.ReadLine(), QByteArray("S5.00\n"));
    QCOMPARE(line.ReadLine(), QByteArray("S120\n"));
    QCOMPARE(line.ReadLine(), QByteArray("S080\n"));
    // 20 characters one after the other on the line: at least 83 ms.
    QVERIFY2(clock.elapsed() >= 80, qPrintable(QString::number(clock.elapsed())));
}

void SimTest::silent() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--silent"})));
    QVERIFY(line.Send("L"));
    QVERIFY(sim.WaitForLogCount(1));
    sim.Control("silent 0");
    QVERIFY(!sim.State().isEmpty());
    // Had "L" been answered, its line would come first.
    QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
    sim.Control("silent 1");
    QVERIFY(!sim.State().isEmpty());
    QVERIFY(line.Send("B"));
    QVERIFY(sim.WaitForLogCount(3));
    sim.Control("silent 0");
    QVERIFY(!sim.State().isEmpty());
    QCOMPARE(line.Ask("D"), QByteArray("S100\n"));
}

void SimTest::silentAfter() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--silent-after", "2", "--drop", "D"})));
    QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
    QVERIFY(line.Send("D")); // dropped: not counted as a reply
    QCOMPARE(line.Ask("I"), QByteArray("S5.00\n"));
    QVERIFY(line.Send("B"));
    QVERIFY(line.Send("L"));
    QVERIFY(sim.WaitForLogCount(5));
    sim.Control("silent 0");
    QVERIFY(!sim.State().isEmpty());
    QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
}

void SimTest::late() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--late-ms", "400"})));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
    QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
    sim.Control("late 700");
    QVERIFY(!sim.State().isEmpty());
    clock.restart();
    QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
    QVERIFY2(clock.elapsed() >= 700, qPrintable(QString::number(clock.elapsed())));
}

void SimTest::drop() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--drop", "U,B"})));
    QVERIFY(line.Send("U"));
    QVERIFY(line.Send("B"));
    QCOMPARE(line.Ask("I"), QByteArray("S5.00\n"));
    QVERIFY(line.Send("U"));
    QCOMPARE(line.Ask("D"), QByteArray("S100\n"));
}

void SimTest::truncateStatus() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--truncate-status", "30"})));
    QCOMPARE(line.Ask("L"), QByteArray("S05.00 0.000 000.0 40 5.00 200 \n"));
    QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
}

void SimTest::badDigit() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--bad-digit", "32", "--output-on"})));
    QCOMPARE(line.Ask("L"), QByteArray("S05.00 0.500 002.5 40 5.00 200 1x0000\n"));
    QCOMPARE(line.Ask("I"), QByteArray("S5.00\n"));
}

void SimTest::garbage() {
    const QStringList args = FastArgs({"--garbage", "--seed", "7"});
    SimProcess first;
    SimProcess second;
    LineClient firstLine;
    LineClient secondLine;
    QVERIFY(StartSession(first, firstLine, args));
    QVERIFY(StartSession(second, secondLine, args));
    for (int i = 0; i < 20; ++i) {
        const QByteArray reply = firstLine.Ask("U");
        QVERIFY2(reply.endsWith("S40\n"), reply.toHex().constData());
        const qsizetype noise = reply.size() - 4;
        QVERIFY2(noise >= 1 && noise <= 3, reply.toHex().constData());
        QVERIFY(!reply.left(noise).contains('\n'));
        QVERIFY(!reply.left(noise).contains('\0'));
        // The same seed gives the same bytes.
        QCOMPARE(secondLine.Ask("U"), reply);
    }
    first.Control("garbage 0");
    QVERIFY(!first.State().isEmpty());
    QCOMPARE(firstLine.Ask("U"), QByteArray("S40\n"));
}

void SimTest::unplugAfter() {
    QTemporaryDir dir;
    const QString link = dir.filePath("com1");
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--unplug-after", "1.5", "--link", link})));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(line.WaitForHangUp());
    QVERIFY(WaitForGone(link));
    QCOMPARE(sim.Process().state(), QProcess::Running);
    QVERIFY(sim.Stop());
}

void SimTest::unplugAndReplug() {
    QTemporaryDir dir;
    const QString link = dir.filePath("com1");
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--link", link})));
    QVERIFY(line.Send("SV 12"));
    QVERIFY(sim.WaitForLogCount(1));
    sim.Control("unplug");
    QVERIFY(line.WaitForHangUp());
    QVERIFY(WaitForGone(link));

    const QString path = sim.Replug();
    QVERIFY(!path.isEmpty());
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    QVERIFY(line.Open(link));
    // The supply kept its settings while the cable was out.
    QCOMPARE(line.Ask("L").left(6), QByteArray("S12.00"));
    QVERIFY(sim.Stop());
    QVERIFY(!QFileInfo(link).isSymLink());
}

void SimTest::portReopened() {
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({})));
    for (int i = 0; i < 5; ++i) {
        line.Close();
        QVERIFY(line.Open(sim.SlavePath()));
        QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
    }
}

void SimTest::log() {
    SimProcess sim;
    LineClient line;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(StartSession(sim, line, FastArgs({})));
    for (const char* command : {"L", "SV 07.50", "", "\n", "XYZ", "KO"}) {
        QVERIFY(line.Send(command));
    }
    QCOMPARE(line.ReadLine(), QByteArray("S05.00 0.000 000.0 40 5.00 200 000000\n"));
    QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
    QVERIFY(sim.WaitForLogCount(5));
    const QStringList expected{"L", "SV 07.50", "XYZ", "KO", "U"};
    QCOMPARE(sim.LoggedCommands(), expected);

    QFile file(sim.LogPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), expected.size() + 1);
    QVERIFY(lines.last().isEmpty());
    static const QRegularExpression format(R"(^(0|[1-9]\d*) [^ ].*$)");
    qint64 previous = 0;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QVERIFY2(format.match(QString::fromLatin1(lines[i])).hasMatch(), lines[i].constData());
        const qint64 ms = lines[i].split(' ').first().toLongLong();
        QVERIFY(ms >= previous);
        QVERIFY(ms <= clock.elapsed());
        previous = ms;
    }
}

void SimTest::stopRemovesLink_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("end of input") << 0;
}

void SimTest::stopRemovesLink() {
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString link = dir.filePath("com1");
    SimProcess sim;
    const QString path = sim.Start(FastArgs({"--link", link}));
    QVERIFY(!path.isEmpty());
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    if (signal == 0) {
        QVERIFY(sim.Stop());
    } else {
        QCOMPARE(::kill(static_cast<pid_t>(sim.Process().processId()), signal), 0);
        QVERIFY(QTest::qWaitFor([&] { return sim.Process().state() == QProcess::NotRunning; },
                                kReplyTimeoutMs));
        QCOMPARE(sim.Process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.Process().exitCode(), 0);
    }
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void SimTest::linkReplacesOldLink() {
    QTemporaryDir dir;
    const QString link = dir.filePath("com1");
    QVERIFY(QFile::link(dir.filePath("nowhere"), link));
    SimProcess sim;
    LineClient line;
    QVERIFY(StartSession(sim, line, FastArgs({"--link", link})));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.SlavePath());
    line.Close();
    QVERIFY(line.Open(link));
    QCOMPARE(line.Ask("U"), QByteArray("S40\n"));
}

void SimTest::linkRefusesOtherFiles() {
    QTemporaryDir dir;
    const QString path = dir.filePath("com1");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    QProcess process;
    process.start(ZRM_SIM_PATH, {"--link", path});
    QVERIFY(process.waitForFinished(kReplyTimeoutMs));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

QTEST_GUILESS_MAIN(SimTest)
#include "test_sim.moc"
