// SPDX-License-Identifier: GPL-3.0-or-later
// Remote control of the real panel against zrm-sim, over a real TCP socket
// and a pseudo-terminal: the wire lines of the commands and what the window
// shows, a fresh reading against the last one, sets refused during an edit,
// key presses and remote commands in each other's way, a flood, a client
// that leaves in the middle of a message, a lost link, and the status bar and
// menu entry that show remote control.
#include "panel_checks.h"
#include "remote_control.h"
#include "remote_texts.h"
#include "scpi_client.h"
#include "sim_panel.h"

#include <QAction>
#include <QStatusBar>
#include <QTcpServer>
#include <QTest>
#include <memory>

namespace {

// The panel on the simulator with remote control on a port of its own and
// one client connected.
struct RemotePanel {
    SimPanel s;
    std::unique_ptr<RemoteControl> remote;
    ScpiClient client;

    bool Start(const QStringList& simArgs) {
        if (!s.Start(simArgs)) {
            return false;
        }
        remote = std::make_unique<RemoteControl>(
            s.panel(), *ParseListenAddress(QStringLiteral("127.0.0.1:0")));
        return remote->Start() && client.Connect(remote->Server().AddressText());
    }
    Form1& panel() { return s.panel(); }
};

// "dis_v=07.50 lbl_on=shown": each label's text, or whether it is shown.
QString Differences(Form1& panel, const QString& shown) {
    QString differences;
    for (const QString& item : shown.split(u' ', Qt::SkipEmptyParts)) {
        const QString name = item.section(u'=', 0, 0);
        const QString want = item.section(u'=', 1);
        const auto* label = panel.findChild<QLabel*>(name);
        const QString got =
            label == nullptr ? QStringLiteral("<none>")
            : want == u"shown" || want == u"hidden"
                ? (label->isHidden() ? QStringLiteral("hidden") : QStringLiteral("shown"))
                : label->text();
        if (got != want) {
            differences += QStringLiteral("%1 is %2, not %3; ").arg(name, got, want);
        }
    }
    return differences;
}

} // namespace

class RemoteTest : public QObject {
    Q_OBJECT
private slots:
    void wireLines_data();
    void wireLines();
    void freshAndLastReading();
    void refusedDuringEdit_data();
    void refusedDuringEdit();
    void keysAndRemoteInterleaved();
    void flood();
    void leavesMidMessage();
    void lostLink();
    void statusBarAndMenu_data();
    void statusBarAndMenu();
    void switchedOffDuringAReading();
};

void RemoteTest::wireLines_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("sent"); // the status queries left out
    QTest::addColumn<QString>("shown");
    const QStringList none;
    const QStringList on{"--output-on"};
    QTest::newRow("set-point") << none << QByteArray("VOLT 7.5;VOLT?") << "7.50"
                               << QStringList{"SV 07.50"} << "dis_v=07.50";
    QTest::newRow("set-point in millivolts") << none << QByteArray("SOUR:VOLT:LEV 12500 mV") << ""
                                             << QStringList{"SV 12.50"} << "dis_v=12.50";
    QTest::newRow("a lower voltage limit pulls the set-point down")
        << QStringList{"--vset", "12"} << QByteArray("VOLT:LIM 10;:VOLT?") << "10.00"
        << QStringList{"SU 10"} << "dis_lv=10 dis_v=10.00 dis_lp=050";
    QTest::newRow("current limit") << none << QByteArray("CURR 2.5") << "" << QStringList{"SI 2.50"}
                                   << "dis_li=2.50 dis_lp=100";
    QTest::newRow("power limit, the output off: the current read back")
        << none << QByteArray("POW 95;CURR?") << "2.40" << QStringList{"SP 095", "I"}
        << "dis_lp=095 dis_li=2.40";
    QTest::newRow("power limit, the output on")
        << on << QByteArray("POW 95") << "" << QStringList{"SP 095"} << "dis_lp=095";
    QTest::newRow("the most the model allows")
        << none << QByteArray("VOLT:LIM MAX;CURR MIN") << "" << QStringList{"SU 40", "SI 0.02"}
        << "dis_lv=40 dis_li=0.02";
    QTest::newRow("step up") << none << QByteArray("VOLT UP") << "" << QStringList{"SV+"}
                             << "dis_v=06.00";
    QTest::newRow("fine step") << QStringList{"--fine"} << QByteArray("VOLT UP;VOLT?") << "5.01"
                               << QStringList{"SV+"} << "dis_v=05.01";
    QTest::newRow("output on") << none << QByteArray("OUTP ON;OUTP?") << "1" << QStringList{"KO"}
                               << "lbl_on=shown lbl_off=hidden";
    QTest::newRow("output on when on sends nothing")
        << on << QByteArray("OUTP ON") << "" << none << "lbl_on=shown";
    QTest::newRow("reset switches the output off")
        << on << QByteArray("*RST;OUTP?") << "0" << QStringList{"KO"} << "lbl_off=shown";
    QTest::newRow("fine, then normal steps") << none << QByteArray("SYST:STEP FINE;SYST:STEP NORM")
                                             << "" << QStringList{"KF", "KN"} << "lbl_fine=hidden";
    QTest::newRow("lock") << none << QByteArray("SYST:KLOC ON;SYST:KLOC?") << "1" << none
                          << "lbl_lock=shown";
    QTest::newRow("reconnect, as REM") << none << QByteArray("SYST:REC") << ""
                                       << QStringList{"B", "D", "SUM", "U", "SU 40"} << "dis_lv=40";
    QTest::newRow("above the voltage limit: nothing sent")
        << QStringList{"--vlimit", "20"} << QByteArray("VOLT 20.01;SYST:ERR?")
        << "-222,\"Data out of range\"" << none << "dis_v=05.00";
    QTest::newRow("identity") << QStringList{"--model", "ZRM-3033"} << QByteArray("*IDN?")
                              << QStringLiteral("zrm-panel,ZRM-3033,0,") + ZRM_VERSION << none
                              << "";
}

void RemoteTest::wireLines() {
    QFETCH(QStringList, simArgs);
    QFETCH(QByteArray, message);
    QFETCH(QString, reply);
    QFETCH(QStringList, sent);
    QFETCH(QString, shown);
    RemotePanel r;
    QVERIFY(r.Start(simArgs));
    // *OPC? answers once the message has been carried out, after its queries.
    QCOMPARE(r.client.Ask(message + ";*OPC?"), reply.isEmpty() ? "1" : reply + ";1");
    QCOMPARE(r.s.Sent(), sent);
    QVERIFY2(Differences(r.panel(), shown).isEmpty(), qPrintable(Differences(r.panel(), shown)));
}

// MEASure asks the supply once, and the window takes the reading as a poll's;
// FETCh answers from the last status line without asking.
void RemoteTest::freshAndLastReading() {
    RemotePanel r;
    QVERIFY(r.Start({"--vset", "7.5"}));
    const qsizetype polls = PollCount(r.s.sim());
    r.s.sim().Control(QStringLiteral("overtemp 1"));
    QCOMPARE(r.client.Ask("FETC:VOLT?;FETC:CURR:DC?;FETC:POW?;STAT:QUES:COND?"),
             QStringLiteral("7.50;0.000;0.0;0"));
    QCOMPARE(r.client.Ask("MEAS:VOLT?;STAT:QUES:COND?"), QStringLiteral("7.50;16"));
    QVERIFY(!r.panel().lbl_overtemp->isHidden());
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(r.client.Ask("FETC?"), QStringLiteral("7.50"));
    }
    r.s.Sent();
    QCOMPARE(PollCount(r.s.sim()), polls + 1);
}

void RemoteTest::refusedDuringEdit_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("open");  // the key that opens the edit
    QTest::addColumn<QString>("close"); // the key that ends it
    QTest::newRow("voltage limit") << QStringList{} << "cmd_vlimit"
                                   << "cmd_enter";
    QTest::newRow("power limit") << QStringList{} << "cmd_plimit"
                                 << "cmd_ce";
    QTest::newRow("plus percent") << QStringList{} << "cmd_plus"
                                  << "cmd_ce";
    QTest::newRow("an applied offset") << QStringList{"--output-on"} << "cmd_minus"
                                       << "cmd_normal";
}

void RemoteTest::refusedDuringEdit() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, open);
    QFETCH(QString, close);
    RemotePanel r;
    QVERIFY(r.Start(simArgs));
    Click(r.panel().findChild<QWidget*>(open));
    r.s.Sent();
    QCOMPARE(r.client.Ask("VOLT 6;OUTP?;SYST:ERR?"),
             (simArgs.isEmpty() ? QStringLiteral("0") : QStringLiteral("1")) +
                 QStringLiteral(";-221,\"Settings conflict\""));
    QCOMPARE(r.client.Ask("VOLT?;MEAS:VOLT?").section(u';', 0, 0), QStringLiteral("5.00"));
    QCOMPARE(r.s.Sent(), QStringList{});
    Click(r.panel().findChild<QWidget*>(close));
    r.s.Sent();
    QCOMPARE(r.client.Ask("VOLT 6;SYST:ERR?"), QStringLiteral("0,\"No error\""));
    QCOMPARE(r.s.Sent(), QStringList{"SV 06.00"});
}

// With the output off the P key and the remote commands both wait for the
// supply: the P key's pause and read-back never have a remote command inside
// them, and a remote reading's wait never has the P key's exchange inside it.
void RemoteTest::keysAndRemoteInterleaved() {
    RemotePanel r;
    // Replies that take a while, so that presses can come during their wait.
    QVERIFY(r.Start({"--late-ms", "60"}));
    Form1& panel = r.panel();
    int pressesInside = 0;
    // A press that arrives while a remote reading waits for its reply; one
    // in each of three of them.
    bool armed = true;
    QTimer presser;
    connect(&presser, &QTimer::timeout, &panel, [&] {
        if (!panel.KeysHeld) {
            armed = true;
        } else if (armed && panel.Polling && pressesInside < 3) {
            armed = false;
            ++pressesInside;
            panel.txt_p->setText(QStringLiteral("90"));
            Click(panel.cmd_p);
        }
    });
    presser.start(5);
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 5; ++i) {
            r.client.Send("MEAS:CURR?;VOLT?");
        }
        TypeInto(panel.txt_p, QString::number(95 + round));
        Click(panel.cmd_p);
    }
    const QStringList replies = r.client.ReadLines(20);
    QCOMPARE(replies, QStringList(20, QStringLiteral("0.000;5.00")));
    QTRY_COMPARE(pressesInside, 3);
    QCOMPARE(r.client.Ask("*OPC?"), QStringLiteral("1"));
    const QList<SimProcess::LogEntry> sent = r.s.SentEntries();
    // Each power limit, its pause, then at once its read-back: nothing between.
    QStringList commands = SimProcess::Commands(sent);
    QVERIFY2(commands.size() == 14, qPrintable(commands.join(u" ")));
    for (qsizetype i = 0; i < commands.size(); i += 2) {
        QVERIFY2(commands[i].startsWith(u"SP ") && commands[i + 1] == u"I",
                 qPrintable(commands.join(u' ')));
    }
    const QList<SimProcess::LogEntry> log = r.s.sim().Log();
    for (qsizetype i = 0; i + 1 < log.size(); ++i) {
        if (log[i].command.startsWith(u"SP ")) {
            QCOMPARE(log[i + 1].command, QStringLiteral("I"));
            QVERIFY(log[i + 1].ms - log[i].ms >= kPauseMs);
        }
    }
    QCOMPARE(panel.dis_li->text(), r.s.sim().State().value("ilimit"));
}

// A client that sends far faster than the line can carry is read no further
// than its queue and the socket's buffer; the rest waits in TCP. Nothing is
// lost or reordered, and readings go on coming at least once a second.
void RemoteTest::flood() {
    RemotePanel r;
    // Replies 20 ms late: the flood's readings make it last a few seconds.
    QVERIFY(r.Start({"--output-on", "--late-ms", "20"}));
    constexpr int kCommands = 10000;
    constexpr int kReadingEvery = 50;
    // Each command padded with blanks: more than the system's buffers hold.
    const QByteArray padding(100, ' ');
    QByteArray flood;
    QStringList sets;
    QStringList readings;
    QString volts;
    for (int i = 0; i < kCommands; ++i) {
        if (i % kReadingEvery == kReadingEvery - 1) {
            // On the simulator's 10 ohms the output holds the set-point.
            flood += "MEAS:VOLT?" + padding + '\n';
            readings << volts;
            continue;
        }
        volts = QString::number(i % 3000 / 100.0 + 1, 'f', 2);
        flood += "VOLT " + volts.toLatin1() + padding + '\n';
        sets << QStringLiteral("SV %1").arg(volts.toDouble(), 5, 'f', 2, u'0');
    }
    const qsizetype logged = r.s.sim().Log().size();
    r.client.Write(flood + "*OPC?\n");
    qint64 waitingMost = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            waitingMost = std::max(waitingMost, r.client.Socket().bytesToWrite());
            return r.client.HasLine();
        }(),
        120000);
    QCOMPARE(r.client.ReadLines(static_cast<int>(readings.size()) + 1), readings << "1");
    // Slowed: the client could not hand over its commands at once.
    QVERIFY2(waitingMost > 0, "the whole flood went into the system's buffers at once");
    QCOMPARE(r.s.Sent(), sets);
    // Status lines, the poll's and the readings', never more than a second and a half apart.
    qint64 last = -1;
    qint64 widest = 0;
    for (const SimProcess::LogEntry& entry : r.s.sim().Log().mid(logged)) {
        if (entry.command == u"L") {
            widest = last < 0 ? 0 : std::max(widest, entry.ms - last);
            last = entry.ms;
        }
    }
    QVERIFY2(widest <= 1500, qPrintable(QStringLiteral("%1 ms without a status line").arg(widest)));
}

// Its whole commands still run; the one it broke off does not, and the panel
// goes on serving others.
void RemoteTest::leavesMidMessage() {
    RemotePanel r;
    QVERIFY(r.Start({}));
    r.client.Write("VOLT 7.5\nOUTP ON;VOLT:LIM 3");
    QVERIFY(r.client.Flush());
    r.client.Socket().abort();
    ScpiClient other;
    QVERIFY(other.Connect(r.remote->Server().AddressText()));
    QTRY_COMPARE(r.remote->Server().ClientCount(), 1);
    QCOMPARE(other.Ask("VOLT?;VOLT:LIM?;OUTP?"), QStringLiteral("7.50;40;0"));
    QCOMPARE(r.s.Sent(), QStringList{"SV 07.50"});
}

// While the supply does not answer, what needs it is refused at once and the
// readings answer "not a number"; no query waits for it. REM's command gets
// the supply back.
void RemoteTest::lostLink() {
    RemotePanel r;
    QVERIFY(r.Start({"--output-on"}));
    r.s.sim().Control(QStringLiteral("silent 1"));
    QTRY_VERIFY_WITH_TIMEOUT(r.panel().LinkLost, 3 * kPollWaitMs);
    QCOMPARE(r.client.Ask("VOLT 6;MEAS:VOLT?;FETC:VOLT?;:VOLT?;*TST?"),
             QStringLiteral("9.91E+37;9.91E+37;5.00;1"));
    // The set, the fresh and the last reading.
    QCOMPARE(r.client.Ask("SYST:ERR:COUN?;SYST:ERR?"), QStringLiteral("3;-240,\"Hardware error\""));
    r.s.sim().Control(QStringLiteral("silent 0"));
    QCOMPARE(r.client.Ask("*CLS;SYST:REC;*TST?;VOLT 6;SYST:ERR?"),
             QStringLiteral("0;0,\"No error\""));
    QVERIFY(!r.panel().LinkLost);
    const QStringList sent = r.s.Sent();
    QVERIFY2(sent.endsWith(QStringLiteral("SV 06.00")), qPrintable(sent.join(u' ')));
}

void RemoteTest::statusBarAndMenu_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("portTaken");
    QTest::addColumn<bool>("exposed");
    QTest::newRow("loopback") << "127.0.0.1:0" << false << false;
    QTest::newRow("every address") << "0.0.0.0:0" << false << true;
    QTest::newRow("port in use") << "127.0.0.1:PORT" << true << false;
}

// The status bar says remote control is on and how many clients it has, its
// tooltip the address (and the warning); the menu entry switches it; a port
// in use is said in the panel's message box and the panel runs on.
void RemoteTest::statusBarAndMenu() {
    QFETCH(QString, address);
    QFETCH(bool, portTaken);
    QFETCH(bool, exposed);
    QTcpServer holder;
    if (portTaken) {
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        address.replace(QLatin1String("PORT"), QString::number(holder.serverPort()));
    }
    SimPanel s;
    QVERIFY(s.Start({}));
    RemoteControl remote(s.panel(), *ParseListenAddress(address));
    QLabel* status = remote.StatusPanel();
    QLabel* port = s.panel().StatusPanelLabel(StatusPanel::Port);
    const int portWidth = port->maximumWidth();
    QVERIFY(status->isHidden());
    remote.Action()->trigger();
    if (portTaken) {
        QTRY_COMPARE(s.boxes().Count(), 1);
        QVERIFY(s.boxes().Seen().first().text.startsWith(
            QString(RemoteText::ListenFailed).section(u'%', 0, 0)));
        QVERIFY(!remote.Action()->isChecked());
        QVERIFY(status->isHidden());
        QCOMPARE(s.Sent(), QStringList{});
        return;
    }
    QVERIFY(remote.Action()->isChecked());
    QCOMPARE(status->text(), QStringLiteral("SCPI: 0"));
    QVERIFY(port->maximumWidth() < portWidth);
    ScpiClient client;
    QVERIFY(client.Connect(
        remote.Server().AddressText().replace(QLatin1String("0.0.0.0"), "127.0.0.1")));
    QTRY_COMPARE(status->text(), QStringLiteral("SCPI: 1"));
    QCOMPARE(status->accessibleName(), QStringLiteral("Remote control SCPI: 1"));
    QVERIFY(status->toolTip().contains(remote.Server().AddressText()));
    QCOMPARE(status->toolTip().contains(QStringLiteral("beyond this computer")), exposed);
    QString where = remote.Server().AddressText();
    remote.Action()->trigger();
    QVERIFY(!remote.Action()->isChecked());
    QVERIFY(status->isHidden());
    QCOMPARE(port->maximumWidth(), portWidth);
    QTRY_COMPARE(client.Socket().state(), QAbstractSocket::UnconnectedState);
    ScpiClient late;
    QVERIFY(!late.Connect(where.replace(QLatin1String("0.0.0.0"), "127.0.0.1"), 2000));
    QCOMPARE(s.boxes().Count(), 0);
}

// The menu entry switched off while a client's reading waits for the supply:
// the client is let go, the reading ends without it, and the panel goes on.
void RemoteTest::switchedOffDuringAReading() {
    RemotePanel r;
    QVERIFY(r.Start({"--late-ms", "200"}));
    QTimer watch;
    connect(&watch, &QTimer::timeout, &r.panel(), [&] {
        if (r.panel().Polling && r.panel().KeysHeld && r.remote->Running()) {
            r.remote->Action()->trigger();
        }
    });
    watch.start(5);
    r.client.Send("MEAS:VOLT?;*IDN?");
    QTRY_VERIFY(!r.remote->Running());
    QTRY_COMPARE(r.client.Socket().state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!r.client.HasLine());
    watch.stop();
    r.remote->Action()->trigger();
    ScpiClient again;
    QVERIFY(again.Connect(r.remote->Server().AddressText()));
    QCOMPARE(again.Ask("MEAS:VOLT?"), QStringLiteral("5.00"));
}

QTEST_MAIN(RemoteTest)
#include "test_remote.moc"
