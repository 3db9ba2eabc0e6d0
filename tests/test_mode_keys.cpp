// SPDX-License-Identifier: GPL-3.0-or-later
// OUTPUT, LOCK, REM, N and F against the simulated supply, and the blink tick.
#include "panel_checks.h"
#include "panel_fixture.h"
#include "sim_panel.h"

#include <QElapsedTimer>
#include <QTest>
#include <memory>

namespace {

// The controls that a locked panel disables (LOCK and EXIT are not among them).
QList<QWidget*> LockedControls(const Form1& p) {
    return {p.cmd_plus,   p.cmd_normal, p.cmd_add,    p.cmd_sub,     p.cmd_minus,  p.cmd_vset,
            p.cmd_rem,    p.cmd_ce,     p.cmd_n,      p.cmd_f,       p.cmd_vlimit, p.cmd_plimit,
            p.cmd_ilimit, p.cmd_enter,  p.cmd_output, p.frm_voltage, p.frm_limit,  p.cmd_v,
            p.cmd_u,      p.cmd_i,      p.cmd_p};
}

} // namespace

class ModeKeysTest : public PanelTest {
    Q_OBJECT
private slots:
    void outputKey_data();
    void outputKey();
    void fineKeys_data();
    void fineKeys();
    void otherButtonsDoNothing_data();
    void otherButtonsDoNothing();
    void lockKey_data();
    void lockKey();
    void remAfterCommunicationError_data();
    void remAfterCommunicationError();
    void secondRemIsIgnored();
    void flashTick_data();
    void flashTick();
};

void ModeKeysTest::outputKey_data() {
    QTest::addColumn<bool>("onAtStart");
    QTest::addColumn<int>("presses");
    QTest::addColumn<bool>("onAtEnd");

    QTest::newRow("off, pressed once") << false << 1 << true;
    QTest::newRow("off, pressed twice") << false << 2 << false;
    QTest::newRow("on, pressed once") << true << 1 << false;
    QTest::newRow("on, pressed twice") << true << 2 << true;
}

void ModeKeysTest::outputKey() {
    QFETCH(bool, onAtStart);
    QFETCH(int, presses);
    QFETCH(bool, onAtEnd);
    QVERIFY(bench().Start(onAtStart ? QStringList{"--output-on"} : QStringList{}));
    Form1& panel = bench().panel();
    QCOMPARE(panel.Timer3->isActive(), onAtStart);

    for (int i = 0; i < presses; ++i) {
        Click(panel.cmd_output);
    }

    QCOMPARE(panel.OutputOn, onAtEnd ? 1 : 0);
    QCOMPARE(panel.lbl_on->isVisible(), onAtEnd);
    QCOMPARE(panel.lbl_off->isVisible(), !onAtEnd);
    QCOMPARE(panel.Timer3->isActive(), onAtEnd);
    QCOMPARE(bench().Sent(), QStringList(presses, QStringLiteral("KO")));
    QCOMPARE(bench().sim().State().value("output"), onAtEnd ? QString("1") : QString("0"));
    if (onAtEnd) {
        // The monitor comes alive: 5 V on the simulator's 10 ohms give 0.5 A.
        QCOMPARE(WaitUntilShown(panel, {"dis_i=0.500"}), QString());
    }
}

void ModeKeysTest::fineKeys_data() {
    QTest::addColumn<bool>("fineAtStart");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("fineAtEnd");

    QTest::newRow("F") << false << "F" << QStringList{"KF"} << true;
    QTest::newRow("F twice") << false << "FF" << QStringList{"KF", "KF"} << true;
    QTest::newRow("N in fine mode") << true << "N" << QStringList{"KN"} << false;
    QTest::newRow("N in normal mode") << false << "N" << QStringList{"KN"} << false;
    QTest::newRow("F then N") << false << "FN" << QStringList{"KF", "KN"} << false;
    QTest::newRow("N then F") << true << "NF" << QStringList{"KN", "KF"} << true;
}

void ModeKeysTest::fineKeys() {
    QFETCH(bool, fineAtStart);
    QFETCH(QString, keys);
    QFETCH(QStringList, commands);
    QFETCH(bool, fineAtEnd);
    QVERIFY(bench().Start(fineAtStart ? QStringList{"--fine"} : QStringList{}));
    Form1& panel = bench().panel();
    QCOMPARE(panel.lbl_fine->isVisible(), fineAtStart);

    for (const QChar key : keys) {
        Click(key == u'F' ? panel.cmd_f : panel.cmd_n);
    }

    QCOMPARE(bench().Sent(), commands);
    QCOMPARE(panel.FineMode, fineAtEnd ? 1 : 0);
    QCOMPARE(panel.lbl_fine->isVisible(), fineAtEnd);
    QCOMPARE(bench().sim().State().value("fine"), fineAtEnd ? QString("1") : QString("0"));
}

void ModeKeysTest::otherButtonsDoNothing_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<Qt::MouseButton>("button");

    for (const char* key : {"cmd_output", "cmd_lock", "cmd_rem", "cmd_n", "cmd_f"}) {
        QTest::addRow("%s, right", key) << key << Qt::RightButton;
        QTest::addRow("%s, middle", key) << key << Qt::MiddleButton;
    }
}

void ModeKeysTest::otherButtonsDoNothing() {
    QFETCH(QString, key);
    QFETCH(Qt::MouseButton, button);
    QVERIFY(bench().Start({}));
    Form1& panel = bench().panel();
    panel.EditTarget = QStringLiteral("plus");

    QElapsedTimer clock;
    clock.start();
    Click(panel.findChild<QWidget*>(key), button);

    QVERIFY(clock.elapsed() < 1000); // REM's one-second wait did not run
    QCOMPARE(bench().Sent(), QStringList());
    QCOMPARE(panel.OutputOn, 0);
    QCOMPARE(panel.FineMode, 0);
    QCOMPARE(panel.Locked, 0);
    QVERIFY(panel.lbl_off->isVisible());
    QVERIFY(!panel.lbl_fine->isVisible());
    QVERIFY(!panel.lbl_lock->isVisible());
    QVERIFY(panel.cmd_output->isEnabled());
    QCOMPARE(panel.EditTarget, QString("plus"));
}

void ModeKeysTest::lockKey_data() {
    QTest::addColumn<bool>("lockedSupply");
    QTest::addColumn<float>("hold"); // seconds by the time of day, press to release
    QTest::addColumn<bool>("unlocked");

    QTest::newRow("released at once") << false << 0.0f << false;
    QTest::newRow("held 1.49 s") << false << 1.49f << false;
    QTest::newRow("held 1.5 s") << false << 1.5f << true;
    QTest::newRow("held 3 s") << false << 3.0f << true;
    QTest::newRow("held over midnight") << false << -86390.0f << false;
    QTest::newRow("locked supply, released at once") << true << 0.0f << false;
    QTest::newRow("locked supply, held 1.5 s") << true << 1.5f << true;
}

void ModeKeysTest::lockKey() {
    QFETCH(bool, lockedSupply);
    QFETCH(float, hold);
    QFETCH(bool, unlocked);
    QVERIFY(bench().Start(lockedSupply ? QStringList{"--locked"} : QStringList{}));
    Form1& panel = bench().panel();
    QCOMPARE(panel.lbl_lock->isVisible(), lockedSupply);

    // While the key is down the panel is locked.
    PressAndHold(panel, panel.cmd_lock, hold, [&] {
        QCOMPARE(panel.Locked, 1);
        QVERIFY(panel.lbl_lock->isVisible());
        QVERIFY(AllEnabled(LockedControls(panel), false));
        QVERIFY(panel.cmd_lock->isEnabled());
        QVERIFY(panel.cmd_exit->isEnabled());
    });
    if (QTest::currentTestFailed()) {
        return;
    }

    QCOMPARE(panel.Locked, unlocked ? 0 : 1);
    QCOMPARE(panel.lbl_lock->isVisible(), !unlocked);
    QVERIFY(AllEnabled(LockedControls(panel), unlocked));
    QVERIFY(panel.cmd_lock->isEnabled());
    // The lock is the soft panel's own: nothing goes to the supply.
    QCOMPARE(bench().Sent(), QStringList());
    QCOMPARE(bench().sim().State().value("locked"), lockedSupply ? QString("1") : QString("0"));
}

void ModeKeysTest::remAfterCommunicationError_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("openKey"); // pressed before the link is lost; empty: lost at start
    QTest::addColumn<bool>("locked");
    QTest::addColumn<bool>("outputOn");

    QTest::newRow("idle supply") << QStringList{} << "" << false << false;
    QTest::newRow("keys locked on the supply") << QStringList{"--locked"} << "" << true << false;
    QTest::newRow("output on") << QStringList{"--output-on"} << "" << false << true;
    // The edit or the lock had disabled REM; the new connection ends them.
    QTest::newRow("during a V LIMIT edit") << QStringList{} << "cmd_vlimit" << false << false;
    QTest::newRow("during a + % edit") << QStringList{} << "cmd_plus" << false << false;
    QTest::newRow("+ % applied") << QStringList{"--output-on"} << "cmd_plus" << false << true;
    QTest::newRow("locked with LOCK") << QStringList{} << "cmd_lock" << false << false;
}

void ModeKeysTest::remAfterCommunicationError() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, openKey);
    QFETCH(bool, locked);
    QFETCH(bool, outputOn);
    Form1& panel = bench().panel();
    if (openKey.isEmpty()) {
        const QString path = bench().sim().Start(simArgs + QStringList{"--silent", "--no-pacing"});
        QVERIFY(!path.isEmpty());
        PointComPorts({path});
        QVERIFY(StartPanel(panel));
        QVERIFY(!panel.Timer3->isActive());
        panel.EditTarget = QStringLiteral("plus");
    } else {
        QVERIFY(bench().Start(simArgs));
        Click(panel.findChild<QWidget*>(openKey));
        QVERIFY(!panel.cmd_rem->isEnabled());
        // The supply falls silent: the fifth timeout in a row is a lost link.
        // (A poll answered just before may still clear the count once.)
        bench().sim().Control("silent 1");
        bench().sim().State();
        panel.TimeoutCount = 4;
        panel.Timer3_Timer();
    }
    QTRY_COMPARE_WITH_TIMEOUT(panel.StatusText(StatusPanel::Status),
                              StatusPanel1::CommunicationError, 2 * kPollWaitMs);
    QTRY_COMPARE(bench().boxes().Count(), 1);
    QVERIFY(!panel.cmd_output->isEnabled());
    QVERIFY(panel.cmd_rem->isEnabled());
    bench().sim().Control("silent 0");
    bench().Sent();

    // When the connection begins, by the panel's own flag.
    QElapsedTimer clock;
    qint64 connectingAfterMs = -1;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        if (connectingAfterMs < 0 && panel.Connecting != kFalse) {
            connectingAfterMs = clock.elapsed();
        }
    });
    sampler.start(5);
    clock.start();
    Click(panel.cmd_rem);
    sampler.stop();

    QVERIFY2(connectingAfterMs >= 1000, qPrintable(QString::number(connectingAfterMs)));
    // The whole connection again and nothing else (its "L" polls are left out
    // of the record): nothing for an abandoned edit.
    QCOMPARE(bench().Sent(), (QStringList{"B", "D", "SUM", "U", "SU 40"}));
    QCOMPARE(panel.StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QCOMPARE(panel.StatusText(StatusPanel::Model), QString("ZRM-522"));
    QCOMPARE(panel.EditTarget, QString("vset"));
    if (openKey == "cmd_vlimit" || openKey == "cmd_plus") {
        QCOMPARE(panel.lbl_cmd->text(), TargetCaption::VoltageSet);
    }
    QVERIFY(!panel.tmr_flash->isActive());
    QVERIFY(!panel.lbl_u->isHidden());
    QVERIFY(!panel.txt_plus->isEnabled());
    QCOMPARE(panel.Locked, locked ? 1 : 0);
    QCOMPARE(panel.lbl_lock->isVisible(), locked);
    QCOMPARE(panel.cmd_rem->isEnabled(), !locked);
    if (!locked) {
        QVERIFY(AllEnabled(LockedControls(panel), true));
    }
    QVERIFY(panel.cmd_output->isEnabled());
    QVERIFY(panel.cmd_lock->isEnabled());
    QCOMPARE(panel.OutputOn, outputOn ? 1 : 0);
    QCOMPARE(panel.Timer3->isActive(), outputOn);
    QCOMPARE(bench().boxes().Count(), 1);
}

void ModeKeysTest::secondRemIsIgnored() {
    QVERIFY(bench().Start({}));
    Form1& panel = bench().panel();
    // A second press that comes during the first one's wait.
    int nestedPresses = 0;
    QTimer::singleShot(300, &panel, [&] {
        ++nestedPresses;
        Click(panel.cmd_rem);
    });
    Click(panel.cmd_rem);
    QCOMPARE(nestedPresses, 1);

    const QStringList sent = bench().Sent();
    QCOMPARE(sent.count("B"), 1);
    QCOMPARE(sent.count("SUM"), 1);
    QCOMPARE(panel.StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QVERIFY(panel.cmd_rem->isEnabled());
}

void ModeKeysTest::flashTick_data() {
    QTest::addColumn<QString>("label");

    QTest::newRow("U-const") << "lbl_u";
    QTest::newRow("I-const") << "lbl_i";
    QTest::newRow("P-const") << "lbl_p";
}

void ModeKeysTest::flashTick() {
    QFETCH(QString, label);
    QVERIFY(bench().Start({}));
    Form1& panel = bench().panel();
    // Without a limit edit the blinking is off.
    QVERIFY(!panel.tmr_flash->isActive());

    auto* blinking = panel.findChild<QLabel*>(label);
    panel.FlashControl = blinking;
    panel.tmr_flash->start();
    QTRY_VERIFY_WITH_TIMEOUT(blinking->isHidden(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!blinking->isHidden(), 5000);
    panel.tmr_flash->stop();
    for (QLabel* other : {panel.lbl_u, panel.lbl_i, panel.lbl_p}) {
        QVERIFY(!other->isHidden());
    }
    QCOMPARE(bench().Sent(), QStringList());
}

QTEST_MAIN(ModeKeysTest)
#include "test_mode_keys.moc"
