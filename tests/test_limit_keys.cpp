// SPDX-License-Identifier: GPL-3.0-or-later
// V LIMIT, I LIMIT and P LIMIT against the simulated supply: the edit that a
// press opens, the long press to the model's maxima, and CE after it.
#include "panel_checks.h"
#include "sim_panel.h"

#include <QTest>

namespace {

// Usable during any limit edit besides the pressed key itself.
QList<QWidget*> EditKeys(const Form1& p) {
    return {p.cmd_add, p.cmd_sub, p.cmd_enter, p.cmd_ce, p.cmd_n, p.cmd_f, p.cmd_output};
}

// Disabled during any limit edit besides the other two limit keys.
QList<QWidget*> IdleKeys(const Form1& p) {
    return {p.cmd_plus, p.cmd_normal, p.cmd_minus,   p.cmd_vset,
            p.cmd_rem,  p.cmd_lock,   p.frm_voltage, p.frm_limit};
}

QList<QWidget*> LimitKeys(const Form1& p) {
    return {p.cmd_vlimit, p.cmd_ilimit, p.cmd_plimit};
}

QStringList Limits(const Form1& p) {
    return {p.dis_lv->text(), p.dis_li->text(), p.dis_lp->text()};
}

QStringList SupplyLimits(SimProcess& sim) {
    const QMap<QString, QString> state = sim.State();
    return {state.value("vlimit"), state.value("ilimit"), state.value("plimit")};
}

} // namespace

class LimitKeysTest : public QObject {
    Q_OBJECT
private slots:
    void shortPress_data();
    void shortPress();
    void longPress_data();
    void longPress();
    void ceAfterLongPress_data();
    void ceAfterLongPress();
};

void LimitKeysTest::shortPress_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("outputOn");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QString>("target"); // empty: the press does nothing
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("indicator");
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("V LIMIT") << "cmd_vlimit" << false << Qt::LeftButton << "vlimit"
                             << QString(TargetCaption::VoltageLimit) << "lbl_u" << QStringList{};
    QTest::newRow("I LIMIT") << "cmd_ilimit" << false << Qt::LeftButton << "ilimit"
                             << QString(TargetCaption::CurrentLimit) << "lbl_i" << QStringList{};
    QTest::newRow("P LIMIT, output off reads the current limit")
        << "cmd_plimit" << false << Qt::LeftButton << "plimit" << QString(TargetCaption::PowerLimit)
        << "lbl_p" << QStringList{"I"};
    QTest::newRow("P LIMIT, output on")
        << "cmd_plimit" << true << Qt::LeftButton << "plimit" << QString(TargetCaption::PowerLimit)
        << "lbl_p" << QStringList{};
    QTest::newRow("V LIMIT, right button") << "cmd_vlimit" << false << Qt::RightButton << ""
                                           << ""
                                           << "" << QStringList{};
    QTest::newRow("P LIMIT, right button") << "cmd_plimit" << false << Qt::RightButton << ""
                                           << ""
                                           << "" << QStringList{};
    QTest::newRow("I LIMIT, middle button") << "cmd_ilimit" << true << Qt::MiddleButton << ""
                                            << ""
                                            << "" << QStringList{};
}

void LimitKeysTest::shortPress() {
    QFETCH(QString, key);
    QFETCH(bool, outputOn);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QString, target);
    QFETCH(QString, caption);
    QFETCH(QString, indicator);
    QFETCH(QStringList, commands);

    SimPanel s;
    QStringList args{"--vlimit", "30", "--ilimit", "2", "--plimit", "60"};
    if (outputOn) {
        args << "--output-on";
    }
    QVERIFY(s.Start(args));
    Form1& panel = s.panel();
    // The supply's current limit moves behind the panel's back: only a
    // read-back can show it.
    panel.SendCommand("SI 1.23");
    s.Sent();
    const QStringList limitsBefore = Limits(panel);
    const float origins[] = {panel.VoltageLimit, panel.CurrentLimit, panel.PowerLimit};

    auto* pressed = panel.findChild<PanelKey*>(key);
    Click(pressed, button);

    QCOMPARE(s.Sent(), commands);
    if (target.isEmpty()) {
        QCOMPARE(panel.EditTarget, QString("vset"));
        QVERIFY(!panel.tmr_flash->isActive());
        QVERIFY(AllEnabled(IdleKeys(panel), true));
        return;
    }
    QCOMPARE(panel.EditTarget, target);
    QCOMPARE(panel.lbl_cmd->text(), caption);
    QCOMPARE(panel.EditOrigin, origins[LimitKeys(panel).indexOf(pressed)]);
    if (commands.isEmpty()) {
        QCOMPARE(Limits(panel), limitsBefore);
    } else {
        QCOMPARE(panel.dis_li->text(), QString("1.23"));
        QCOMPARE(panel.CurrentLimit, 1.23f);
    }
    for (QWidget* limitKey : LimitKeys(panel)) {
        QVERIFY2(limitKey->isEnabled() == (limitKey == pressed),
                 qPrintable(limitKey->objectName()));
    }
    QVERIFY(AllEnabled(EditKeys(panel), true));
    QVERIFY(AllEnabled(IdleKeys(panel), false));
    // Its indicator blinks.
    auto* blinking = panel.findChild<QLabel*>(indicator);
    QCOMPARE(panel.FlashControl, blinking);
    QVERIFY(panel.tmr_flash->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(blinking->isHidden(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!blinking->isHidden(), 5000);
}

void LimitKeysTest::longPress_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("key");
    QTest::addColumn<float>("hold");         // seconds by the time of day, press to release
    QTest::addColumn<QString>("command");    // empty: a short press
    QTest::addColumn<QStringList>("limits"); // dis_lv, dis_li, dis_lp after the release
    QTest::addColumn<QStringList>("boxes");  // txt_u, txt_i, txt_p after the release

    const QString v = "cmd_vlimit", i = "cmd_ilimit", p = "cmd_plimit";
    QTest::newRow("V LIMIT, ZRM-522")
        << QStringList{"--model", "ZRM-522", "--vlimit", "30", "--ilimit", "2.5"} << v << 2.0f
        << "SUM" << QStringList{"40", "2.50", "100"} << QStringList{"40", "", "100"};
    QTest::newRow("V LIMIT, ZRM-711")
        << QStringList{"--model", "ZRM-711", "--vlimit", "30", "--ilimit", "2"} << v << 1.5f
        << "SUM" << QStringList{"60", "2.00", "120"} << QStringList{"60", "", "120"};
    QTest::newRow("V LIMIT, ZRM-3033")
        << QStringList{"--model", "ZRM-3033", "--vlimit", "10"} << v << 5.0f << "SUM"
        << QStringList{"20", "9.99", "199"} << QStringList{"20", "", "199"};
    QTest::newRow("I LIMIT, ZRM-3033")
        << QStringList{"--model", "ZRM-3033", "--vlimit", "20", "--ilimit", "1"} << i << 1.5f
        << "SIM" << QStringList{"20", "9.99", "199"} << QStringList{"", "9.99", "199"};
    QTest::newRow("I LIMIT, ZRM-711")
        << QStringList{"--model", "ZRM-711", "--vlimit", "30", "--ilimit", "1"} << i << 2.0f
        << "SIM" << QStringList{"30", "3.50", "105"} << QStringList{"", "3.50", "105"};
    QTest::newRow("I LIMIT, ZRM-522")
        << QStringList{"--model", "ZRM-522", "--vlimit", "12", "--ilimit", "1"} << i << 2.0f
        << "SIM" << QStringList{"12", "5.00", "060"} << QStringList{"", "5.00", "060"};
    QTest::newRow("P LIMIT, ZRM-711")
        << QStringList{"--model", "ZRM-711", "--vlimit", "30", "--ilimit", "1"} << p << 1.5f
        << "SPM" << QStringList{"60", "3.50", "210"} << QStringList{"60", "3.50", "210"};
    QTest::newRow("P LIMIT, ZRM-522")
        << QStringList{"--model", "ZRM-522", "--vlimit", "10", "--ilimit", "1"} << p << 2.0f
        << "SPM" << QStringList{"40", "5.00", "200"} << QStringList{"40", "5.00", "200"};
    QTest::newRow("P LIMIT, ZRM-3033")
        << QStringList{"--model", "ZRM-3033", "--vlimit", "5", "--ilimit", "1"} << p << 2.0f
        << "SPM" << QStringList{"20", "9.99", "199"} << QStringList{"20", "9.99", "199"};
    QTest::newRow("V LIMIT held 1.4 s")
        << QStringList{"--vlimit", "30", "--ilimit", "2", "--plimit", "60"} << v << 1.4f << ""
        << QStringList{"30", "2.00", "060"} << QStringList{"", "", ""};
    QTest::newRow("P LIMIT released at once")
        << QStringList{"--vlimit", "30", "--ilimit", "2", "--plimit", "60"} << p << 0.0f << ""
        << QStringList{"30", "2.00", "060"} << QStringList{"", "", ""};
    QTest::newRow("I LIMIT held over midnight")
        << QStringList{"--vlimit", "30", "--ilimit", "2", "--plimit", "60"} << i << -86390.0f << ""
        << QStringList{"30", "2.00", "060"} << QStringList{"", "", ""};
}

void LimitKeysTest::longPress() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, key);
    QFETCH(float, hold);
    QFETCH(QString, command);
    QFETCH(QStringList, limits);
    QFETCH(QStringList, boxes);

    SimPanel s;
    QVERIFY(s.Start(simArgs));
    Form1& panel = s.panel();
    auto* pressed = panel.findChild<PanelKey*>(key);
    QTest::mousePress(pressed, Qt::LeftButton);
    const float origin = panel.EditOrigin;
    const QString target = panel.EditTarget;
    QTest::mouseRelease(pressed, Qt::LeftButton);
    s.Sent();

    PressAndHold(panel, pressed, hold);

    QStringList sent = s.Sent();
    sent.removeAll("I"); // P LIMIT's own read-back at each press
    QCOMPARE(sent, command.isEmpty() ? QStringList{} : QStringList{command});
    QCOMPARE(Limits(panel), limits);
    QCOMPARE((QStringList{panel.txt_u->text(), panel.txt_i->text(), panel.txt_p->text()}), boxes);
    if (!command.isEmpty()) {
        QCOMPARE(SupplyLimits(s.sim()), limits);
    }
    // The edit stays open as the press left it.
    QCOMPARE(panel.EditTarget, target);
    QCOMPARE(panel.EditOrigin, origin);
    QVERIFY(panel.tmr_flash->isActive());
    QVERIFY(!panel.cmd_vset->isEnabled());
}

void LimitKeysTest::ceAfterLongPress_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("restore");    // CE's command
    QTest::addColumn<QStringList>("limits"); // dis_lv, dis_li, dis_lp after CE

    QTest::newRow("V LIMIT") << QStringList{"--model",  "ZRM-522", "--vlimit", "30",
                                            "--ilimit", "2.5",     "--plimit", "75"}
                             << "cmd_vlimit"
                             << "SU 30" << QStringList{"30", "2.50", "075"};
    QTest::newRow("I LIMIT") << QStringList{"--model",  "ZRM-3033", "--vlimit", "20",
                                            "--ilimit", "1",        "--plimit", "20"}
                             << "cmd_ilimit"
                             << "SI 1.00" << QStringList{"20", "1.00", "020"};
    // CE gives back the power only; the current follows it, the voltage stays.
    QTest::newRow("P LIMIT") << QStringList{"--model",  "ZRM-711", "--vlimit", "30",
                                            "--ilimit", "2",       "--plimit", "60"}
                             << "cmd_plimit"
                             << "SP 060" << QStringList{"60", "1.03", "060"};
}

void LimitKeysTest::ceAfterLongPress() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, key);
    QFETCH(QString, restore);
    QFETCH(QStringList, limits);

    SimPanel s;
    QVERIFY(s.Start(simArgs));
    Form1& panel = s.panel();
    auto* pressed = panel.findChild<PanelKey*>(key);
    PressAndHold(panel, pressed, 2.0f);
    QVERIFY(panel.FlashControl != nullptr);
    s.Sent();

    Click(panel.cmd_ce);

    QCOMPARE(s.Sent(), QStringList{restore});
    QCOMPARE(Limits(panel), limits);
    QCOMPARE(SupplyLimits(s.sim()), limits);
    QCOMPARE(panel.EditTarget, QString("vset"));
    QCOMPARE(panel.lbl_cmd->text(), TargetCaption::VoltageSet);
    QVERIFY(!panel.tmr_flash->isActive());
    QVERIFY(!panel.FlashControl->isHidden());
    QVERIFY(AllEnabled(IdleKeys(panel), true));
    QVERIFY(AllEnabled(LimitKeys(panel), true));
}

QTEST_MAIN(LimitKeysTest)
#include "test_limit_keys.moc"
