// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor poll: its check of the reply (exact bytes from a scripted
// line), what it refreshes while the output is on (zrm-sim), an unplugged and
// a silent supply, and polls that must not nest.
#include "panel_fixture.h"
#include "panel_harness.h"
#include "scripted_line.h"
#include "sim_process.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

// Several polls of one second each, on a loaded machine.
constexpr int kPollsMs = 15000;

QByteArray StatusReply(const QByteArray& digits) {
    return "S12.34 1.234 015.2 30 2.50 075 " + digits + '\n';
}

} // namespace

class TestPolling : public PanelTest {
    Q_OBJECT
private slots:
    void replyCheck_data();
    void replyCheck();
    void followsSupply_data();
    void followsSupply();
    void overTemperature();
    void unpluggedSupply();
    void silentSupplyComesBack();
    void ticksDoNotNest_data();
    void ticksDoNotNest();

private:
    // The panel connected to a simulator started with args, output on.
    void ConnectToSim(SimProcess& sim, QStringList args);
};

void TestPolling::ConnectToSim(SimProcess& sim, QStringList args) {
    args << "--output-on"
         << "--no-pacing"
         << "--vlimit"
         << "30"
         << "--vset"
         << "12";
    PointComPorts({sim.Start(args)});
    QVERIFY(StartPanel(bench().panel()));
    QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QVERIFY(bench().panel().Timer3->isActive());
}

void TestPolling::replyCheck_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("timeouts");
    QTest::addColumn<bool>("overTemp");

    QTest::newRow("no reply") << QByteArray() << false << 4 << false;
    QTest::newRow("lone LF") << QByteArray("\n") << false << 3 << false;
    QTest::newRow("short line") << QByteArray("S\n") << false << 3 << false;
    QTest::newRow("error letter") << "SE" + StatusReply("010201") << false << 3 << false;
    QTest::newRow("any capital") << QByteArray("SQ2.34 1.234 015.2 30 2.50 075 010201\n") << false
                                 << 3 << false;
    QTest::newRow("36 characters")
        << QByteArray("S12.34 1.234 015.2 30 2.50 075 01020\n") << false << 3 << false;
    QTest::newRow("37 characters") << StatusReply("010201") << true << 0 << true;
    QTest::newRow("no over-temperature") << StatusReply("000201") << true << 0 << false;
    QTest::newRow("not a digit at 32") << StatusReply("0x0201") << false << 3 << false;
}

void TestPolling::replyCheck() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, taken);
    QFETCH(int, timeouts);
    QFETCH(bool, overTemp);

    ScriptedLine line;
    line.Answer(QStringLiteral("L"), reply);
    PointComPorts({line.Path()});
    Form1& p = bench().panel();
    p.InitModelTable();
    p.CommPort = 1;
    QCOMPARE(p.OpenPort().outcome, PortOutcome::Opened);
    p.TimeoutCount = 3;
    p.VoltageSet = 5;
    p.CurrentLimit = 1;
    p.PowerLimit = 100;
    const QString before = QStringLiteral("old");
    for (QLabel* display : {p.dis_v, p.dis_i, p.dis_p, p.dis_lv, p.dis_li, p.dis_lp}) {
        display->setText(before);
    }
    p.lbl_overtemp->setVisible(!overTemp);

    p.Timer3_Timer();
    QCOMPARE(line.Commands(), QStringList{"L"});
    QCOMPARE(int(p.TimeoutCount), timeouts);
    if (taken) {
        QCOMPARE((QStringList{p.dis_v->text(), p.dis_i->text(), p.dis_p->text(), p.dis_li->text(),
                              p.dis_lp->text()}),
                 (QStringList{"12.34", "1.234", "015.2", "2.50", "075"}));
        QCOMPARE(p.VoltageSet, 12.34f);
        QCOMPARE(p.CurrentLimit, 2.5f);
        QCOMPARE(p.PowerLimit, 75.0f);
        QCOMPARE(int(p.OverTemp), overTemp ? 1 : 0);
        QCOMPARE(!p.lbl_overtemp->isHidden(), overTemp);
    } else {
        QCOMPARE(p.dis_v->text(), before);
        QCOMPARE(p.dis_li->text(), before);
        QCOMPARE(p.VoltageSet, 5.0f);
        QCOMPARE(p.PowerLimit, 100.0f);
        QCOMPARE(!p.lbl_overtemp->isHidden(), !overTemp);
    }
    // The poll never shows the voltage limit.
    QCOMPARE(p.dis_lv->text(), before);
}

void TestPolling::followsSupply_data() {
    QTest::addColumn<bool>("fine");
    QTest::addColumn<QString>("editTarget");
    QTest::addColumn<QString>("voltageText");
    QTest::addColumn<float>("voltageSet");

    QTest::newRow("normal") << false << QStringLiteral("vset") << QStringLiteral("08.00") << 8.0f;
    QTest::newRow("fine mode") << true << QStringLiteral("vset") << QStringLiteral("12.00")
                               << 12.0f;
    QTest::newRow("editing plus") << false << QStringLiteral("plus") << QStringLiteral("08.00")
                                  << 12.0f;
}

void TestPolling::followsSupply() {
    QFETCH(bool, fine);
    QFETCH(QString, editTarget);
    QFETCH(QString, voltageText);
    QFETCH(float, voltageSet);

    SimProcess sim;
    ConnectToSim(sim, fine ? QStringList{"--fine"} : QStringList{});
    Form1& p = bench().panel();
    p.EditTarget = editTarget;
    // The supply changes behind the panel's back: a new set-point and
    // limits, as its own front panel would.
    p.SendCommand(QStringLiteral("SV 08.00"));
    p.SendCommand(QStringLiteral("SU 25"));
    p.SendCommand(QStringLiteral("SI 1.50"));
    sim.Control(QStringLiteral("load 20"));
    QCOMPARE(WaitUntilShown(p, {"dis_li=1.50"}, kPollsMs), QString());
    // One reply refreshes everything at once.
    QCOMPARE(p.dis_i->text(), QStringLiteral("0.400"));
    QCOMPARE(p.dis_p->text(), QStringLiteral("003.2"));
    QCOMPARE(p.dis_lp->text(), QStringLiteral("037"));
    QCOMPARE(p.CurrentLimit, 1.5f);
    QCOMPARE(p.PowerLimit, 37.0f);
    QCOMPARE(p.dis_v->text(), voltageText);
    QCOMPARE(p.VoltageSet, voltageSet);
    QCOMPARE(p.dis_lv->text(), QStringLiteral("30"));
    QCOMPARE(p.VoltageLimit, 30.0f);
    QCOMPARE(int(p.TimeoutCount), 0);
    QCOMPARE(bench().boxes().Count(), 0);
}

void TestPolling::overTemperature() {
    SimProcess sim;
    ConnectToSim(sim, {});
    QVERIFY(bench().panel().lbl_overtemp->isHidden());
    sim.Control(QStringLiteral("overtemp 1"));
    QTRY_VERIFY_WITH_TIMEOUT(!bench().panel().lbl_overtemp->isHidden(), kPollsMs);
    QCOMPARE(int(bench().panel().OverTemp), 1);
    sim.Control(QStringLiteral("overtemp 0"));
    QTRY_VERIFY_WITH_TIMEOUT(bench().panel().lbl_overtemp->isHidden(), kPollsMs);
    QCOMPARE(int(bench().panel().OverTemp), 0);
}

// A pulled cable with the output on: every poll fails at once and reports the
// lost link, but the loss has one box, until REM connects again.
void TestPolling::unpluggedSupply() {
    SimProcess sim;
    ConnectToSim(sim, {});
    QSignalSpy missed(&bench().panel(), &Form1::PollMissed);
    sim.Control(QStringLiteral("unplug"));
    Form1& panel = bench().panel();
    QTRY_VERIFY_WITH_TIMEOUT(!panel.MSComm1->isOpen(), kPollsMs);
    QTRY_COMPARE_WITH_TIMEOUT(bench().boxes().Count(), 1, 3 * kPollsMs);
    const qsizetype atBox = missed.count();
    QTRY_VERIFY_WITH_TIMEOUT(missed.count() >= atBox + 3, kPollsMs);
    QCOMPARE(bench().boxes().Count(), 1);
    QCOMPARE(bench().boxes().Seen().first().title, MessageText::CommunicationErrorTitle);
    QCOMPARE(bench().boxes().Seen().first().text, MessageText::CommunicationError);
    QVERIFY(panel.TimeoutCount >= 8);
    QCOMPARE(panel.StatusText(StatusPanel::Status), StatusPanel1::CommunicationError);
    QVERIFY(!panel.cmd_output->isEnabled());

    // Plugged in again and reconnected with REM.
    PointComPorts({sim.Replug()});
    panel.cmd_rem_MouseDown();
    QCOMPARE(panel.StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QVERIFY(panel.cmd_output->isEnabled());
    QVERIFY(panel.Timer3->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(int(panel.TimeoutCount), 0, kPollsMs);
    // A new loss has its own box.
    sim.Control(QStringLiteral("unplug"));
    QTRY_COMPARE_WITH_TIMEOUT(bench().boxes().Count(), 2, 3 * kPollsMs);
}

void TestPolling::silentSupplyComesBack() {
    SimProcess sim;
    ConnectToSim(sim, {});
    sim.Control(QStringLiteral("silent 1"));
    QTRY_VERIFY_WITH_TIMEOUT(bench().boxes().Count() >= 1, 3 * kPollsMs);
    QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::CommunicationError);
    sim.Control(QStringLiteral("silent 0"));
    // The first good reply clears the count; the report's text and keys stay.
    QTRY_COMPARE_WITH_TIMEOUT(int(bench().panel().TimeoutCount), 0, kPollsMs);
    QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::CommunicationError);
    QVERIFY(!bench().panel().cmd_output->isEnabled());
}

void TestPolling::ticksDoNotNest_data() {
    QTest::addColumn<bool>("duringConnection");
    QTest::newRow("tick while a poll waits") << false;
    QTest::newRow("tick during a connection") << true;
}

void TestPolling::ticksDoNotNest() {
    QFETCH(bool, duringConnection);

    ScriptedLine line;
    PointComPorts({line.Path()});
    Form1& p = bench().panel();
    p.CommPort = 1;
    QCOMPARE(p.OpenPort().outcome, PortOutcome::Opened);
    bool ticked = false;
    if (duringConnection) {
        p.Connecting = kTrue;
        p.Timer3_Timer();
        ticked = true;
    } else {
        // The supply does not answer, so the poll waits a full second; a
        // tick comes in the middle of that wait.
        QTimer::singleShot(300, &p, [&] {
            p.Timer3_Timer();
            ticked = true;
        });
        p.Timer3_Timer();
    }
    QVERIFY(ticked);
    p.SendCommand(QStringLiteral("KN"));
    QVERIFY(line.WaitForCommands(duringConnection ? 1 : 2));
    const QStringList sent = duringConnection ? QStringList{"KN"} : QStringList{"L", "KN"};
    QCOMPARE(line.Commands(), sent);
    QCOMPARE(int(p.TimeoutCount), duringConnection ? 0 : 1);
}

QTEST_MAIN(TestPolling)
#include "test_polling.moc"
