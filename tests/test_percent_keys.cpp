// SPDX-License-Identifier: GPL-3.0-or-later
// "+ %", "- %" and NORMAL against the simulated supply: the percent edit with
// the output off, the applied offset with the output on, and the percent boxes.
#include "panel_checks.h"
#include "sim_panel.h"

#include <QTest>

namespace {

// Disabled while an offset is applied (the output on).
QList<QWidget*> PercentGroup(const Form1& p) {
    return {p.cmd_vset,   p.cmd_rem,     p.cmd_ce,    p.cmd_enter, p.cmd_vlimit, p.cmd_ilimit,
            p.cmd_plimit, p.frm_voltage, p.frm_limit, p.cmd_add,   p.cmd_sub};
}

} // namespace

class PercentKeysTest : public QObject {
    Q_OBJECT
private slots:
    void editMode_data();
    void editMode();
    void applyMode_data();
    void applyMode();
    void keysThatDoNothing_data();
    void keysThatDoNothing();
    void switchingEditsDropsTheOther_data();
    void switchingEditsDropsTheOther();
    void editAfterOffsetWithOutputOff_data();
    void editAfterOffsetWithOutputOff();
};

void PercentKeysTest::editMode_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byFocusLoss"); // else by the Enter key in the box
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QStringList>("enterCommands");

    const QString plus = "cmd_plus", minus = "cmd_minus";
    QTest::newRow("+ % 103 from 100")
        << plus << 100 << "103" << false << "103" << QStringList(3, "SB+");
    QTest::newRow("+ % 160 becomes 150")
        << plus << 148 << "160" << false << "150" << QStringList(2, "SB+");
    QTest::newRow("+ % 99 becomes 100")
        << plus << 102 << "99" << false << "100" << QStringList(2, "SB-");
    QTest::newRow("+ % no number becomes 100")
        << plus << 101 << "abc" << false << "100" << QStringList{"SB-"};
    QTest::newRow("+ % 160 on leaving the box")
        << plus << 149 << "160" << true << "150" << QStringList{"SB+"};
    QTest::newRow("- % 98 from 100")
        << minus << 100 << "98" << false << "98" << QStringList(2, "SD-");
    QTest::newRow("- % 40 becomes 50")
        << minus << 52 << "40" << false << "50" << QStringList(2, "SD-");
    QTest::newRow("- % 120 on leaving the box")
        << minus << 99 << "120" << true << "100" << QStringList{"SD+"};
    QTest::newRow("- % unchanged sends nothing")
        << minus << 75 << "75" << false << "75" << QStringList{};
}

void PercentKeysTest::editMode() {
    QFETCH(QString, key);
    QFETCH(int, start);
    QFETCH(QString, typed);
    QFETCH(bool, byFocusLoss);
    QFETCH(QString, boxText);
    QFETCH(QStringList, enterCommands);

    const bool isPlus = key == "cmd_plus";
    SimPanel s;
    QVERIFY(s.Start({isPlus ? "--plus" : "--minus", QString::number(start)}));
    Form1& panel = s.panel();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    PanelKey* own = isPlus ? panel.cmd_plus : panel.cmd_minus;
    PanelKey* other = isPlus ? panel.cmd_minus : panel.cmd_plus;
    EntryBox* ownBox = isPlus ? panel.txt_plus : panel.txt_minus;
    EntryBox* otherBox = isPlus ? panel.txt_minus : panel.txt_plus;
    float& percent = isPlus ? panel.PlusPercent : panel.MinusPercent;

    Click(own);

    QCOMPARE(s.Sent(), QStringList{});
    QCOMPARE(panel.EditTarget, QString(isPlus ? "plus" : "minus"));
    QCOMPARE(panel.lbl_cmd->text(),
             isPlus ? TargetCaption::PlusPercent : TargetCaption::MinusPercent);
    QCOMPARE(panel.EditOrigin, static_cast<float>(start));
    QVERIFY(!own->isEnabled());
    QVERIFY(!own->isDown());
    QVERIFY(other->isEnabled());
    QVERIFY(ownBox->isEnabled());
    QVERIFY(ownBox->hasFocus());
    QVERIFY(!otherBox->isEnabled());
    QVERIFY(AllEnabled(EditGroup(panel), false));
    QVERIFY(AllEnabled({panel.cmd_add, panel.cmd_sub, panel.cmd_enter, panel.cmd_ce}, true));

    TypeOver(ownBox, typed);
    QCOMPARE(percent, static_cast<float>(start)); // stored only when confirmed
    QTest::keyClick(ownBox, byFocusLoss ? Qt::Key_Tab : Qt::Key_Return);
    QVERIFY(ownBox->hasFocus() != byFocusLoss);
    QCOMPARE(ownBox->text(), boxText);
    QCOMPARE(percent, boxText.toFloat());

    // ENTER sends the change, one point per command with a pause after each.
    Click(panel.cmd_enter);
    const QList<SimProcess::LogEntry> sent = s.SentEntries();
    QCOMPARE(SimProcess::Commands(sent), enterCommands);
    const QString shortPauses = ShortPauses(sent);
    QVERIFY2(shortPauses.isEmpty(), qPrintable(shortPauses));
    QCOMPARE(s.sim().State().value(isPlus ? "plus" : "minus"), boxText);
    QCOMPARE(panel.EditTarget, QString("vset"));
    QVERIFY(AllEnabled({panel.cmd_plus, panel.cmd_minus}, true));
    QVERIFY(AllEnabled({panel.txt_plus, panel.txt_minus}, false));
}

void PercentKeysTest::applyMode_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("normal"); // NORMAL's command

    QTest::newRow("+ % stops at the voltage limit")
        << QStringList{"--vset", "30", "--vlimit", "32", "--plus", "110"} << QStringList{"cmd_plus"}
        << QStringList{"SV 32.00"} << "32.00"
        << "SV 30.00";
    QTest::newRow("+ % 110 of 12 V")
        << QStringList{"--vset", "12", "--plus", "110"} << QStringList{"cmd_plus"}
        << QStringList{"SV 13.20"} << "13.20"
        << "SV 12.00";
    QTest::newRow("- % 50 of 10 V")
        << QStringList{"--vset", "10", "--minus", "50"} << QStringList{"cmd_minus"}
        << QStringList{"SV 05.00"} << "05.00"
        << "SV 10.00";
    QTest::newRow("+ % then - %") << QStringList{"--vset", "12", "--plus", "110", "--minus", "90"}
                                  << QStringList{"cmd_plus", "cmd_minus"}
                                  << QStringList{"SV 13.20", "SV 10.80"} << "10.80"
                                  << "SV 12.00";
}

void PercentKeysTest::applyMode() {
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, commands);
    QFETCH(QString, shown);
    QFETCH(QString, normal);

    SimPanel s;
    QVERIFY(s.Start(simArgs + QStringList{"--output-on"}));
    Form1& panel = s.panel();
    const float nominal = panel.VoltageSet;
    const QString plusText = panel.txt_plus->text();

    for (const QString& key : keys) {
        Click(panel.findChild<QWidget*>(key));
    }

    auto* last = panel.findChild<PanelKey*>(keys.last());
    PanelKey* other = last == panel.cmd_plus ? panel.cmd_minus : panel.cmd_plus;
    QCOMPARE(s.Sent(), commands);
    QCOMPARE(panel.dis_v->text(), shown);
    QCOMPARE(panel.txt_v->text(), shown);
    QCOMPARE(s.sim().State().value("vset"), shown);
    QCOMPARE(panel.EditTarget, QString(last == panel.cmd_plus ? "plus" : "minus"));
    QCOMPARE(panel.ActivePercentKey, last);
    QVERIFY(!last->isEnabled());
    QVERIFY(!last->isDown());
    QVERIFY(other->isEnabled());
    QVERIFY(AllEnabled(PercentGroup(panel), false));
    QVERIFY(AllEnabled(
        {panel.cmd_normal, panel.cmd_output, panel.cmd_lock, panel.cmd_n, panel.cmd_f}, true));
    QVERIFY(AllEnabled({panel.txt_plus, panel.txt_minus}, false));
    QCOMPARE(panel.txt_plus->text(), plusText);
    // The nominal set-point stays, whatever the polls show meanwhile.
    QVERIFY(WaitForPolls(s.sim(), PollCount(s.sim()), 2));
    QCOMPARE(panel.VoltageSet, nominal);

    Click(panel.cmd_normal);

    QCOMPARE(s.Sent(), QStringList{normal});
    QCOMPARE(panel.dis_v->text(), normal.mid(3));
    QCOMPARE(panel.txt_v->text(), normal.mid(3));
    QCOMPARE(s.sim().State().value("vset"), normal.mid(3));
    QCOMPARE(panel.EditTarget, QString("vset"));
    QCOMPARE(panel.lbl_cmd->text(), TargetCaption::VoltageSet);
    QVERIFY(AllEnabled(PercentGroup(panel), true));
    QVERIFY(AllEnabled({panel.cmd_plus, panel.cmd_minus}, true));
}

void PercentKeysTest::keysThatDoNothing_data() {
    QTest::addColumn<QStringList>("before"); // keys clicked first
    QTest::addColumn<QString>("key");
    QTest::addColumn<Qt::MouseButton>("button");

    QTest::newRow("NORMAL right after start-up") << QStringList{} << "cmd_normal" << Qt::LeftButton;
    QTest::newRow("NORMAL after a percent edit, no offset applied yet")
        << QStringList{"cmd_plus", "cmd_ce"} << "cmd_normal" << Qt::LeftButton;
    QTest::newRow("+ %, right button") << QStringList{} << "cmd_plus" << Qt::RightButton;
    QTest::newRow("- %, middle button") << QStringList{} << "cmd_minus" << Qt::MiddleButton;
    QTest::newRow("NORMAL, right button") << QStringList{} << "cmd_normal" << Qt::RightButton;
}

void PercentKeysTest::keysThatDoNothing() {
    QFETCH(QStringList, before);
    QFETCH(QString, key);
    QFETCH(Qt::MouseButton, button);

    SimPanel s;
    QVERIFY(s.Start({}));
    Form1& panel = s.panel();
    for (const QString& first : before) {
        Click(panel.findChild<QWidget*>(first));
    }
    const QString caption = panel.lbl_cmd->text();
    s.Sent();

    Click(panel.findChild<QWidget*>(key), button);

    QCOMPARE(s.Sent(), QStringList{});
    QCOMPARE(panel.EditTarget, QString("vset"));
    QCOMPARE(panel.lbl_cmd->text(), caption);
    QVERIFY(panel.ActivePercentKey == nullptr);
    QVERIFY(AllEnabled(EditGroup(panel) + PercentGroup(panel), true));
    QVERIFY(AllEnabled({panel.cmd_plus, panel.cmd_minus}, true));
    QVERIFY(AllEnabled({panel.txt_plus, panel.txt_minus}, false));
}

void PercentKeysTest::switchingEditsDropsTheOther_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("typed"); // empty: two up-key steps instead
    QTest::addColumn<QString>("restored");

    QTest::newRow("typed + %, then - %") << "cmd_plus"
                                         << "120"
                                         << "100";
    QTest::newRow("stepped + %, then - %") << "cmd_plus"
                                           << ""
                                           << "100";
    QTest::newRow("typed - %, then + %") << "cmd_minus"
                                         << "60"
                                         << "090";
}

// A percent edit left for the other one without ENTER is dropped, as CE
// drops it: the panel keeps what the supply holds.
void PercentKeysTest::switchingEditsDropsTheOther() {
    QFETCH(QString, first);
    QFETCH(QString, typed);
    QFETCH(QString, restored);

    SimPanel s;
    QVERIFY(s.Start({"--plus", "100", "--minus", "90"}));
    Form1& panel = s.panel();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    const bool plusFirst = first == "cmd_plus";
    EntryBox* firstBox = plusFirst ? panel.txt_plus : panel.txt_minus;
    float& firstPercent = plusFirst ? panel.PlusPercent : panel.MinusPercent;
    const float origin = firstPercent;

    Click(panel.findChild<QWidget*>(first));
    if (typed.isEmpty()) {
        Click(panel.cmd_add);
        Click(panel.cmd_add);
    } else {
        TypeOver(firstBox, typed);
    }
    PanelKey* second = plusFirst ? panel.cmd_minus : panel.cmd_plus;
    Click(second);

    QCOMPARE(firstBox->text(), restored);
    QCOMPARE(firstPercent, origin);
    QVERIFY(!firstBox->isEnabled());
    QCOMPARE(panel.EditTarget, QString(plusFirst ? "minus" : "plus"));
    QCOMPARE(panel.EditOrigin, plusFirst ? panel.MinusPercent : panel.PlusPercent);

    // Neither ENTER now nor ENTER in a new edit of the first percentage sends it.
    Click(panel.cmd_enter);
    Click(panel.findChild<QWidget*>(first));
    Click(panel.cmd_enter);
    QCOMPARE(s.Sent(), QStringList{});
    QCOMPARE(firstPercent, origin);
    const QMap<QString, QString> supply = s.sim().State();
    QCOMPARE(supply.value("plus"), QString("100"));
    QCOMPARE(supply.value("minus"), QString("90"));
}

void PercentKeysTest::editAfterOffsetWithOutputOff_data() {
    QTest::addColumn<QString>("applied");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QString>("stepCommand");

    QTest::newRow("+ % applied, - % edited") << "cmd_plus"
                                             << "13.20"
                                             << "cmd_minus"
                                             << "SD-";
    QTest::newRow("- % applied, + % edited") << "cmd_minus"
                                             << "10.80"
                                             << "cmd_plus"
                                             << "SB+";
}

// An offset still applied when the output goes off would leave ENTER, CE and
// the up and down keys disabled in a percent edit, and nothing but EXIT
// usable. The edit ends the offset first, as NORMAL does.
void PercentKeysTest::editAfterOffsetWithOutputOff() {
    QFETCH(QString, applied);
    QFETCH(QString, shown);
    QFETCH(QString, edited);
    QFETCH(QString, stepCommand);

    SimPanel s;
    QVERIFY(s.Start({"--vset", "12", "--plus", "110", "--minus", "90", "--output-on"}));
    Form1& panel = s.panel();
    Click(panel.findChild<QWidget*>(applied));
    Click(panel.cmd_output);
    QCOMPARE(s.Sent(), (QStringList{"SV " + shown, "KO"}));

    Click(panel.findChild<QWidget*>(edited));

    QCOMPARE(s.Sent(), QStringList{"SV 12.00"});
    QCOMPARE(panel.dis_v->text(), QString("12.00"));
    QCOMPARE(panel.EditTarget, QString(edited == "cmd_plus" ? "plus" : "minus"));
    QVERIFY(AllEnabled({panel.cmd_add, panel.cmd_sub, panel.cmd_enter, panel.cmd_ce}, true));
    QVERIFY(AllEnabled(EditGroup(panel), false));

    Click(stepCommand == "SD-" ? panel.cmd_sub : panel.cmd_add);
    Click(panel.cmd_enter);
    QCOMPARE(s.Sent(), QStringList{stepCommand});
    QVERIFY(AllEnabled(EditGroup(panel) + PercentGroup(panel), true));
    const QMap<QString, QString> supply = s.sim().State();
    QCOMPARE(supply.value("vset"), QString("12.00"));
    QCOMPARE(supply.value("plus"), QString(stepCommand == "SB+" ? "111" : "110"));
    QCOMPARE(supply.value("minus"), QString(stepCommand == "SD-" ? "89" : "90"));
}

QTEST_MAIN(PercentKeysTest)
#include "test_percent_keys.moc"
