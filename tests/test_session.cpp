// SPDX-License-Identifier: GPL-3.0-or-later
// One working session at the bench, key by key as a user goes through it, on
// a simulated ZRM-711: every action's commands on the wire, and at the end the
// supply's settings against what the panel shows.
#include "sim_panel.h"

#include <QTest>

namespace {

void Clicks(QWidget* key, int times) {
    for (int i = 0; i < times; ++i) {
        Click(key);
    }
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT
private slots:
    void benchSession();
};

void SessionTest::benchSession() {
    SimPanel s;
    QVERIFY(s.Start({"--model", "ZRM-711", "--vset", "5", "--vlimit", "30", "--ilimit", "2",
                     "--plimit", "60"}));
    Form1& panel = s.panel();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    QCOMPARE(panel.StatusText(StatusPanel::Model), QString("ZRM-711"));

    // A set-point typed in and stepped, in normal and fine steps.
    TypeInto(panel.txt_v, "12");
    Click(panel.cmd_v);
    QCOMPARE(s.Sent(), QStringList{"SV 12.00"});
    Clicks(panel.cmd_add, 2);
    Click(panel.cmd_sub);
    QCOMPARE(s.Sent(), (QStringList{"SV+", "SV+", "SV-"}));
    Click(panel.cmd_f);
    Clicks(panel.cmd_add, 3);
    Click(panel.cmd_n);
    QCOMPARE(s.Sent(), (QStringList{"KF", "SV+", "SV+", "SV+", "KN"}));
    QCOMPARE(panel.dis_v->text(), QString("13.03"));

    // The voltage limit stepped up and accepted; a further step taken back.
    Click(panel.cmd_vlimit);
    Clicks(panel.cmd_add, 2);
    Click(panel.cmd_enter);
    Click(panel.cmd_vlimit);
    Click(panel.cmd_add);
    Click(panel.cmd_ce);
    QCOMPARE(s.Sent(), (QStringList{"SU+", "SU+", "SU+", "SU 32"}));
    QCOMPARE(panel.dis_lv->text(), QString("32"));
    QCOMPARE(panel.dis_lp->text(), QString("064"));

    // The current limit to the model's maximum with a long press, then down.
    PressAndHold(panel, panel.cmd_ilimit, 2.0f);
    Clicks(panel.cmd_sub, 5);
    Click(panel.cmd_enter);
    QCOMPARE(s.Sent(), (QStringList{"SIM", "SI-", "SI-", "SI-", "SI-", "SI-"}));
    QCOMPARE(panel.dis_li->text(), QString("3.00"));
    QCOMPARE(panel.dis_lp->text(), QString("096"));

    // The power limit down by 6 W; the supply's current limit follows it.
    Click(panel.cmd_plimit);
    Clicks(panel.cmd_sub, 6);
    Click(panel.cmd_enter);
    QStringList powerSteps{"I"};
    for (int i = 0; i < 6; ++i) {
        powerSteps << "SP-"
                   << "I";
    }
    QCOMPARE(s.Sent(), powerSteps);
    QCOMPARE(panel.dis_lp->text(), QString("090"));
    QCOMPARE(panel.dis_li->text(), QString("2.84"));

    // The percent offsets: one typed, one stepped.
    Click(panel.cmd_plus);
    TypeOver(panel.txt_plus, "110");
    QTest::keyClick(panel.txt_plus, Qt::Key_Return);
    Click(panel.cmd_enter);
    Click(panel.cmd_minus);
    Clicks(panel.cmd_sub, 2);
    Click(panel.cmd_enter);
    QCOMPARE(s.Sent(), QStringList(10, "SB+") + QStringList(2, "SD-"));

    // Output on, the plus offset applied and taken off again.
    Click(panel.cmd_output);
    QCOMPARE(WaitUntilShown(panel, {"dis_i=1.303"}), QString());
    Click(panel.cmd_plus);
    QCOMPARE(panel.dis_v->text(), QString("14.33"));
    QCOMPARE(WaitUntilShown(panel, {"dis_i=1.433"}), QString());
    Click(panel.cmd_normal);
    QCOMPARE(s.Sent(), (QStringList{"KO", "SV 14.33", "SV 13.03"}));

    // The soft panel locked and unlocked, the output off.
    Click(panel.cmd_lock);
    QVERIFY(!panel.cmd_output->isEnabled());
    PressAndHold(panel, panel.cmd_lock, 2.0f);
    Click(panel.cmd_output);
    QCOMPARE(s.Sent(), QStringList{"KO"});

    const QMap<QString, QString> supply = s.sim().State();
    QCOMPARE(supply.value("vset"), panel.dis_v->text());
    QCOMPARE(supply.value("vlimit"), panel.dis_lv->text());
    QCOMPARE(supply.value("ilimit"), panel.dis_li->text());
    QCOMPARE(supply.value("plimit"), panel.dis_lp->text());
    QCOMPARE(supply.value("plus"), panel.txt_plus->text());
    QCOMPARE(supply.value("minus"), panel.txt_minus->text());
    QCOMPARE(supply.value("output"), QString(panel.lbl_on->isVisible() ? "1" : "0"));
    QCOMPARE(supply.value("fine"), QString(panel.lbl_fine->isVisible() ? "1" : "0"));
    QCOMPARE(supply.value("locked"), QString(panel.lbl_lock->isVisible() ? "1" : "0"));
    QCOMPARE(panel.dis_v->text(), QString("13.03"));
    QCOMPARE(panel.txt_plus->text(), QString("110"));
    QCOMPARE(panel.txt_minus->text(), QString("98"));
    QVERIFY(panel.lbl_off->isVisible());
    QCOMPARE(panel.EditTarget, QString("vset"));
}

QTEST_MAIN(SessionTest)
#include "test_session.moc"
