// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a bench PC runs it, zrm-panel --headless with remote control,
// against zrm-sim: clients that we did not write (a PyVISA script, lxi-tools,
// netcat), where it listens and what it says, an end by SIGTERM with whole log
// rows and the port closed, the reconnection every 10 s, and its options.
#include "csv_log.h"
#include "headless_panel.h"
#include "options.h"
#include "remote_texts.h"
#include "scpi_client.h"
#include "sim_process.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kToolTimeoutMs = 30000;

// The supply's commands after the connection's, the polls and measurements left out.
QStringList CommandsSince(const SimProcess& sim, qsizetype from) {
    QStringList commands = sim.LoggedCommands().mid(from);
    commands.removeAll(QStringLiteral("L"));
    return commands;
}

// Waits until the connection's last command has reached the simulator.
bool Connected(const SimProcess& sim) {
    return QTest::qWaitFor(
        [&] {
            const QStringList commands = sim.LoggedCommands();
            return !commands.isEmpty() && commands.last().startsWith(u"SU ");
        },
        HeadlessPanel::kDefaultTimeoutMs);
}

QStringList LogRows(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    return lines.mid(1, lines.size() - 2);
}

} // namespace

class RemoteProgramTest : public QObject {
    Q_OBJECT
private slots:
    void clientsWeDidNotWrite_data();
    void clientsWeDidNotWrite();
    void listening_data();
    void listening();
    void endsOnSigterm();
    void reconnectsOnItsOwn();
    void singleCopy();
    void options_data();
    void options();
};

void RemoteProgramTest::clientsWeDidNotWrite_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // HOST and PORT stand for the panel's
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("output"); // a line the program must print
    QTest::addColumn<QStringList>("wire");
    const QString identity = QStringLiteral("zrm-panel,ZRM-522,0,") + ZRM_VERSION;
    QTest::newRow("PyVISA with pyvisa-py")
        << ZRM_PYTHON_PATH << QStringList{ZRM_PYVISA_SESSION, "HOST", "PORT"} << QByteArray()
        << "*IDN?: " + identity << QStringList{"SV 12.50", "SI 1.50", "KO", "KO"};
    QTest::newRow("lxi scpi --raw, a query")
        << ZRM_LXI_PATH
        << QStringList{"scpi", "--raw", "--address", "HOST", "--port", "PORT", "VOLT 3.3;VOLT?"}
        << QByteArray() << "3.30" << QStringList{"SV 03.30"};
    QTest::newRow("lxi scpi --raw, a set")
        << ZRM_LXI_PATH << QStringList{"scpi", "-r", "-a", "HOST", "-p", "PORT", "OUTP ON"}
        << QByteArray() << "" << QStringList{"KO"};
    QTest::newRow("echo | nc -q1")
        << ZRM_NC_PATH << QStringList{"-q1", "HOST", "PORT"} << QByteArray("OUTP ON\n*IDN?\n")
        << identity << QStringList{"KO"};
}

void RemoteProgramTest::clientsWeDidNotWrite() {
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, output);
    QFETCH(QStringList, wire);
    QVERIFY2(QFile::exists(program), qPrintable(program + " is missing: run scripts/setup.sh"));
    SimProcess sim;
    QVERIFY(!sim.Start({"--load-ohms", "10"}).isEmpty());
    HeadlessPanel panel;
    QVERIFY(panel.Start(sim.SlavePath(), {"--scpi=127.0.0.1:0"}));
    QVERIFY(Connected(sim));
    const qsizetype connection = sim.LoggedCommands().size();

    const QString address = panel.RemoteAddress();
    for (QString& argument : arguments) {
        argument.replace(QLatin1String("HOST"), address.section(u':', 0, 0));
        argument.replace(QLatin1String("PORT"), address.section(u':', 1));
    }
    QProcess tool;
    tool.start(program, arguments);
    QVERIFY(tool.waitForStarted());
    tool.write(input);
    tool.closeWriteChannel();
    QVERIFY(tool.waitForFinished(kToolTimeoutMs));
    const QString printed = QString::fromLocal8Bit(tool.readAllStandardOutput());
    QVERIFY2(tool.exitCode() == 0, qPrintable(printed + tool.readAllStandardError()));
    QVERIFY2(printed.split(u'\n').contains(output) || output.isEmpty(), qPrintable(printed));
    // The last of its commands may still be on its way through the panel.
    QTRY_COMPARE_WITH_TIMEOUT(CommandsSince(sim, connection), wire, kToolTimeoutMs);
    QVERIFY(panel.Terminate());
}

void RemoteProgramTest::listening_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("variable"); // ZRM_SCPI
    QTest::addColumn<bool>("portTaken");   // another program holds the port
    QTest::addColumn<QString>("said");     // on standard error
    QTest::addColumn<bool>("exposed");     // warned that others can reach it
    QTest::newRow("loopback") << QStringList{"--scpi=127.0.0.1:0"} << "" << false
                              << "(SCPI) on 127.0.0.1:" << false;
    QTest::newRow("every address")
        << QStringList{"--scpi=0.0.0.0:0"} << "" << false << "(SCPI) on 0.0.0.0:" << true;
    QTest::newRow("the variable") << QStringList{} << "127.0.0.1:0" << false
                                  << "(SCPI) on 127.0.0.1:" << false;
    QTest::newRow("the option over the variable")
        << QStringList{"--scpi=127.0.0.1:0"} << "0.0.0.0:0" << false
        << "(SCPI) on 127.0.0.1:" << false;
    QTest::newRow("port in use") << QStringList{"--scpi=127.0.0.1:PORT"} << "" << true
                                 << "could not listen on 127.0.0.1:" << false;
}

// Where it listens and what it says; without its port the panel runs on.
void RemoteProgramTest::listening() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, variable);
    QFETCH(bool, portTaken);
    QFETCH(QString, said);
    QFETCH(bool, exposed);
    QTcpServer holder;
    if (portTaken) {
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        arguments.replaceInStrings(QStringLiteral("PORT"), QString::number(holder.serverPort()));
    }
    SimProcess sim;
    QVERIFY(!sim.Start({}).isEmpty());
    HeadlessPanel panel;
    if (!variable.isEmpty()) {
        panel.Environment().insert(QStringLiteral("ZRM_SCPI"), variable);
    }
    QVERIFY(panel.Start(sim.SlavePath(), arguments) || portTaken);
    QVERIFY(panel.WaitForError(said));
    QCOMPARE(panel.ErrorOutput().contains(QStringLiteral("beyond this computer")), exposed);
    // With or without remote control, the panel connects and goes on.
    QVERIFY(Connected(sim));
    if (!portTaken) {
        ScpiClient client;
        QString address = panel.RemoteAddress();
        address.replace(QLatin1String("0.0.0.0"), QLatin1String("127.0.0.1"));
        QVERIFY(client.Connect(address));
        QCOMPARE(client.Ask("OUTP?"), QStringLiteral("0"));
    }
    QVERIFY(panel.Terminate());
}

// A systemd stop: SIGTERM ends it with status 0, the log's rows whole and
// the port closed, also with a client connected in the middle of a message.
void RemoteProgramTest::endsOnSigterm() {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("bench.csv"));
    SimProcess sim;
    QVERIFY(!sim.Start({"--output-on"}).isEmpty());
    HeadlessPanel panel;
    panel.Environment().insert(QStringLiteral("ZRM_LOG_FILE"), log);
    QVERIFY(panel.Start(sim.SlavePath(), {"--scpi=127.0.0.1:0"}));
    ScpiClient client;
    QVERIFY(client.Connect(panel.RemoteAddress()));
    QCOMPARE(client.Ask("*OPC?"), QStringLiteral("1"));
    client.Write("VOLT 5");
    QVERIFY(client.Flush());
    QTRY_VERIFY_WITH_TIMEOUT(LogRows(log).size() >= 3, HeadlessPanel::kDefaultTimeoutMs);

    QVERIFY(panel.Terminate());
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith('\n'));
    for (const QString& row : LogRows(log)) {
        QCOMPARE(row.count(u','), CsvHeader().count(u','));
    }
    QTRY_COMPARE(client.Socket().state(), QAbstractSocket::UnconnectedState);
    ScpiClient late;
    QVERIFY(!late.Connect(panel.RemoteAddress(), 2000));
    QVERIFY(!sim.LoggedCommands().contains(QStringLiteral("SV 05.00")));
}

// Nobody presses REM on a bench PC: with no supply at the start, the
// connection is repeated until one answers.
void RemoteProgramTest::reconnectsOnItsOwn() {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    HeadlessPanel panel;
    QVERIFY(panel.Start(link, {"--scpi=127.0.0.1:0"}));
    QVERIFY(panel.WaitForError(QStringLiteral("Communication error!")));
    ScpiClient client;
    QVERIFY(client.Connect(panel.RemoteAddress()));
    QCOMPARE(client.Ask("VOLT 5;*TST?;SYST:ERR?"), QStringLiteral("1;-240,\"Hardware error\""));

    SimProcess sim;
    QVERIFY(!sim.Start({"--link", link, "--model", "ZRM-711"}).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(client.Ask("*IDN?").section(u',', 1, 1), QStringLiteral("ZRM-711"),
                              3 * HeadlessPanel::kDefaultTimeoutMs);
    QCOMPARE(client.Ask("VOLT 5;SYST:ERR?"), QStringLiteral("0,\"No error\""));
    QTRY_VERIFY(sim.LoggedCommands().contains(QStringLiteral("SV 05.00")));
    QVERIFY(panel.Terminate());
}

// A second copy for the same user, headless too, says so where a box would
// and ends; the first goes on.
void RemoteProgramTest::singleCopy() {
    SimProcess sim;
    QVERIFY(!sim.Start({}).isEmpty());
    HeadlessPanel first;
    QVERIFY(first.Start(sim.SlavePath(), {"--scpi=127.0.0.1:0"}));
    HeadlessPanel second;
    second.Environment().insert(QStringLiteral("XDG_RUNTIME_DIR"), first.RuntimeDir());
    QVERIFY(second.Start(sim.SlavePath(), {}));
    QVERIFY(second.Process().waitForFinished(HeadlessPanel::kDefaultTimeoutMs));
    QCOMPARE(second.Process().exitCode(), 0);
    QVERIFY(second.ErrorOutput().contains(QStringLiteral("This program is running now!")));
    ScpiClient client;
    QVERIFY(client.Connect(first.RemoteAddress()));
    QCOMPARE(client.Ask("*TST?"), QStringLiteral("0"));
    QVERIFY(first.Terminate());
}

void RemoteProgramTest::options_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<bool>("headless");
    QTest::addColumn<bool>("remoteOn");
    QTest::addColumn<QString>("address"); // where remote control listens
    QTest::addColumn<QString>("error");   // a fragment; empty for none
    QTest::addColumn<QString>("warning");
    QTest::newRow("none") << QStringList{} << "" << false << false << "127.0.0.1:5025"
                          << ""
                          << "";
    QTest::newRow("bare --scpi") << QStringList{"--scpi"} << "" << false << true << "127.0.0.1:5025"
                                 << ""
                                 << "";
    QTest::newRow("an address") << QStringList{"--headless", "--scpi=0.0.0.0:6000"} << "" << true
                                << true << "0.0.0.0:6000"
                                << ""
                                << "";
    QTest::newRow("apart") << QStringList{"--scpi", "[::1]:6001"} << "" << false << true
                           << "::1:6001"
                           << ""
                           << "";
    QTest::newRow("the variable") << QStringList{} << "127.0.0.1:6002" << false << true
                                  << "127.0.0.1:6002"
                                  << ""
                                  << "";
    QTest::newRow("the option wins")
        << QStringList{"--scpi=127.0.0.1:6003"} << "0.0.0.0:1" << false << true << "127.0.0.1:6003"
        << ""
        << "";
    QTest::newRow("a variable that is no address")
        << QStringList{} << "5025" << false << false << "127.0.0.1:5025"
        << ""
        << "ZRM_SCPI: not an address and port";
    QTest::newRow("an option that is no address")
        << QStringList{"--scpi=panel:5025"} << "" << false << false << "127.0.0.1:5025"
        << "--scpi: not an address and port"
        << "";
    QTest::newRow("an unknown option")
        << QStringList{"--remote"} << "" << false << false << "127.0.0.1:5025"
        << "Unknown option"
        << "";
    QTest::newRow("an argument") << QStringList{"COM1"} << "" << false << false << "127.0.0.1:5025"
                                 << "Unexpected argument"
                                 << "";
}

void RemoteProgramTest::options() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, variable);
    QFETCH(bool, headless);
    QFETCH(bool, remoteOn);
    QFETCH(QString, address);
    QFETCH(QString, error);
    QFETCH(QString, warning);
    const ProgramOptions options =
        ParseOptions(QStringList{QStringLiteral("zrm-panel")} + arguments, variable);
    QCOMPARE(options.error.isEmpty(), error.isEmpty());
    QVERIFY2(options.error.contains(error), qPrintable(options.error));
    QCOMPARE(options.warning.isEmpty(), warning.isEmpty());
    QVERIFY2(options.warning.contains(warning), qPrintable(options.warning));
    if (error.isEmpty()) {
        QCOMPARE(options.headless, headless);
        QCOMPARE(options.remoteOn, remoteOn);
        QCOMPARE(options.remote.address.toString() + u':' + QString::number(options.remote.port),
                 address);
    }
}

QTEST_GUILESS_MAIN(RemoteProgramTest)
#include "test_remote_program.moc"
