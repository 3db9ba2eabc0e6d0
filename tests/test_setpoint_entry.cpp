// SPDX-License-Identifier: GPL-3.0-or-later
// The four entry boxes and their keys V, U, I and P, typed into and pressed
// for real, against the simulated supply.
#include "panel_checks.h"
#include "panel_fixture.h"
#include "sim_panel.h"
#include "supply_link.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QTest>

namespace {

// The box must really hold the focus, so that pressing the key takes it away
// first, as it does for a user.
bool TypeWithFocus(Form1& panel, EntryBox* box, const QString& text) {
    if (!ActivatePanel(panel)) {
        return false;
    }
    TypeInto(box, text);
    return box->hasFocus() && box->text() == text;
}

} // namespace

class SetpointEntryTest : public PanelTest {
    Q_OBJECT
private slots:
    void typedValueIsSent_data();
    void typedValueIsSent();
    void enterInBox_data();
    void enterInBox();
    void otherButtonsLeaveTheFocus_data();
    void otherButtonsLeaveTheFocus();
    void leavingTheBox_data();
    void leavingTheBox();
    void powerKeyPausesBeforeReadBack();
};

void SetpointEntryTest::typedValueIsSent_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("supply");

    const QStringList zrm3033{"--model", "ZRM-3033", "--vlimit", "20"};
    QTest::newRow("V 7.5") << QStringList{} << "cmd_v"
                           << "7.5" << QStringList{"SV 07.50"} << QStringList{"dis_v=07.50"}
                           << QStringList{"vset=07.50"};
    QTest::newRow("V above the voltage limit")
        << QStringList{"--vlimit", "30"} << "cmd_v"
        << "45" << QStringList{"SV 30.00"} << QStringList{"dis_v=30.00"}
        << QStringList{"vset=30.00"};
    QTest::newRow("V negative") << QStringList{} << "cmd_v"
                                << "-1" << QStringList{"SV 00.00"} << QStringList{"dis_v=00.00"}
                                << QStringList{"vset=00.00"};
    QTest::newRow("V not a number") << QStringList{} << "cmd_v"
                                    << "abc" << QStringList{"SV 00.00"}
                                    << QStringList{"dis_v=00.00"} << QStringList{"vset=00.00"};
    QTest::newRow("V empty box") << QStringList{} << "cmd_v"
                                 << "" << QStringList{} << QStringList{}
                                 << QStringList{"vset=05.00"};
    QTest::newRow("U above the model's maximum")
        << QStringList{"--ilimit", "2.5"} << "cmd_u"
        << "50" << QStringList{"SU 40"} << QStringList{"dis_lv=40", "dis_lp=100"}
        << QStringList{"vlimit=40", "plimit=100"};
    QTest::newRow("U pulls the set-point down")
        << QStringList{"--vset", "12", "--ilimit", "2.5"} << "cmd_u"
        << "10" << QStringList{"SU 10"} << QStringList{"dis_v=10.00", "dis_lv=10", "dis_lp=025"}
        << QStringList{"vset=10.00", "vlimit=10", "plimit=025"};
    QTest::newRow("U with a unit")
        << QStringList{"--ilimit", "2"} << "cmd_u"
        << "5V" << QStringList{"SU 05"} << QStringList{"dis_lv=5V", "dis_lp=010"}
        << QStringList{"vlimit=05"};
    QTest::newRow("U below 1") << QStringList{} << "cmd_u"
                               << "0" << QStringList{"SU 01"}
                               << QStringList{"dis_lv=1", "dis_v=01.00"}
                               << QStringList{"vlimit=01"};
    QTest::newRow("U empty box") << QStringList{} << "cmd_u"
                                 << "" << QStringList{} << QStringList{"dis_lv=40"}
                                 << QStringList{"vlimit=40"};
    QTest::newRow("I 1.5") << QStringList{"--vlimit", "40"} << "cmd_i"
                           << "1.5" << QStringList{"SI 1.50"}
                           << QStringList{"dis_li=1.50", "dis_lp=060"}
                           << QStringList{"ilimit=1.50", "plimit=060"};
    QTest::newRow("I below 0.02") << QStringList{} << "cmd_i"
                                  << "0" << QStringList{"SI 0.02"}
                                  << QStringList{"dis_li=0.02", "dis_lp=000"}
                                  << QStringList{"ilimit=0.02"};
    QTest::newRow("I above the ZRM-711's maximum")
        << QStringList{"--model", "ZRM-711"} << "cmd_i"
        << "7" << QStringList{"SI 3.50"} << QStringList{"dis_li=3.50", "dis_lp=210"}
        << QStringList{"ilimit=3.50"};
    QTest::newRow("I empty box") << QStringList{} << "cmd_i"
                                 << "" << QStringList{} << QStringList{"dis_li=5.00"}
                                 << QStringList{"ilimit=5.00"};
    // The power bound is the model's current times the voltage limit: 199.8 W.
    QTest::newRow("P 250 on a ZRM-3033")
        << zrm3033 << "cmd_p"
        << "250" << QStringList{"SP 199", "I"} << QStringList{"dis_lp=199", "dis_li=9.98"}
        << QStringList{"plimit=199", "ilimit=9.98"};
    QTest::newRow("P 200 on a ZRM-3033")
        << zrm3033 << "cmd_p"
        << "200" << QStringList{"SP 199", "I"} << QStringList{"dis_lp=199", "dis_li=9.98"}
        << QStringList{"plimit=199"};
    QTest::newRow("P 199 on a ZRM-3033")
        << zrm3033 << "cmd_p"
        << "199" << QStringList{"SP 199", "I"} << QStringList{"dis_lp=199", "dis_li=9.98"}
        << QStringList{"plimit=199"};
    QTest::newRow("P 5 on a ZRM-3033")
        << zrm3033 << "cmd_p"
        << "5" << QStringList{"SP 005", "I"} << QStringList{"dis_lp=005", "dis_li=0.28"}
        << QStringList{"plimit=005", "ilimit=0.28"};
    QTest::newRow("P 95") << QStringList{} << "cmd_p"
                          << "95" << QStringList{"SP 095", "I"}
                          << QStringList{"dis_lp=095", "dis_li=2.40"}
                          << QStringList{"plimit=095", "ilimit=2.40"};
    QTest::newRow("P below 1") << QStringList{} << "cmd_p"
                               << "0" << QStringList{"SP 001", "I"}
                               << QStringList{"dis_lp=001", "dis_li=0.05"}
                               << QStringList{"plimit=001"};
    // With the output on the polling brings the new current limit instead.
    QTest::newRow("P with the output on")
        << QStringList{"--output-on"} << "cmd_p"
        << "95" << QStringList{"SP 095"} << QStringList{"dis_lp=095"}
        << QStringList{"plimit=095", "ilimit=2.40"};
    QTest::newRow("P empty box") << QStringList{} << "cmd_p"
                                 << "" << QStringList{} << QStringList{"dis_lp=200"}
                                 << QStringList{"plimit=200"};
}

void SetpointEntryTest::typedValueIsSent() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, key);
    QFETCH(QString, typed);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, supply);
    QVERIFY(bench().Start(simArgs));
    Form1& panel = bench().panel();
    auto* box = panel.findChild<EntryBox*>("txt_" + key.mid(4));
    panel.EditTarget = QStringLiteral("plus");

    QVERIFY(TypeWithFocus(panel, box, typed));
    Click(panel.findChild<QWidget*>(key));

    QCOMPARE(bench().Sent(), commands);
    const QString wrong = ShownMismatches(panel, shown);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(panel.EditTarget, QString("vset"));
    QTRY_COMPARE(box->text(), QString());
    // The members hold what the displays show.
    QCOMPARE(panel.VoltageSet, SingleNumber(panel.dis_v->text()));
    QCOMPARE(panel.VoltageLimit, SingleNumber(panel.dis_lv->text()));
    QCOMPARE(panel.CurrentLimit, SingleNumber(panel.dis_li->text()));
    QCOMPARE(panel.PowerLimit, SingleNumber(panel.dis_lp->text()));
    const QString wrongSupply = SupplyMismatches(bench().sim(), supply);
    QVERIFY2(wrongSupply.isEmpty(), qPrintable(wrongSupply));
}

void SetpointEntryTest::enterInBox_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("corrected");

    const QStringList zrm3033{"--model", "ZRM-3033", "--vlimit", "20"};
    const QStringList limit30{"--vlimit", "30"};
    QTest::newRow("V above the limit") << limit30 << "txt_v"
                                       << "45" << int(Qt::Key_Return) << "30.00";
    QTest::newRow("V on the limit") << limit30 << "txt_v"
                                    << "30" << int(Qt::Key_Return) << "30";
    QTest::newRow("V in range") << limit30 << "txt_v"
                                << "12.5" << int(Qt::Key_Enter) << "12.5";
    QTest::newRow("V negative") << limit30 << "txt_v"
                                << "-1" << int(Qt::Key_Return) << "0";
    QTest::newRow("V, another key") << limit30 << "txt_v"
                                    << "45" << int(Qt::Key_Shift) << "45";
    QTest::newRow("U above the maximum") << QStringList{} << "txt_u"
                                         << "50" << int(Qt::Key_Return) << "40";
    QTest::newRow("U below 1") << QStringList{} << "txt_u"
                               << "0" << int(Qt::Key_Return) << "1";
    QTest::newRow("U with a unit") << QStringList{} << "txt_u"
                                   << "5V" << int(Qt::Key_Return) << "5V";
    QTest::newRow("I on a ZRM-711") << QStringList{"--model", "ZRM-711"} << "txt_i"
                                    << "7" << int(Qt::Key_Return) << "3.50";
    QTest::newRow("I below 0.02") << QStringList{} << "txt_i"
                                  << "0.01" << int(Qt::Key_Return) << "0.02";
    QTest::newRow("I not a number") << QStringList{} << "txt_i"
                                    << "abc" << int(Qt::Key_Return) << "0.02";
    QTest::newRow("P 250 on a ZRM-3033") << zrm3033 << "txt_p"
                                         << "250" << int(Qt::Key_Return) << "199";
    QTest::newRow("P 199 on a ZRM-3033") << zrm3033 << "txt_p"
                                         << "199" << int(Qt::Key_Return) << "199";
    QTest::newRow("P 300 on a ZRM-711") << QStringList{"--model", "ZRM-711"} << "txt_p"
                                        << "300" << int(Qt::Key_Return) << "210";
    QTest::newRow("P below 1") << QStringList{} << "txt_p"
                               << "0" << int(Qt::Key_Return) << "1";
}

void SetpointEntryTest::enterInBox() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, corrected);
    QVERIFY(bench().Start(simArgs));
    Form1& panel = bench().panel();
    auto* entry = panel.findChild<EntryBox*>(box);

    QVERIFY(TypeWithFocus(panel, entry, typed));
    QTest::keyClick(entry, static_cast<Qt::Key>(key));

    QCOMPARE(entry->text(), corrected);
    QCOMPARE(bench().Sent(), QStringList());
}

void SetpointEntryTest::otherButtonsLeaveTheFocus_data() {
    QTest::addColumn<QString>("key");
    for (const char* key :
         {"cmd_plus", "cmd_normal", "cmd_minus", "cmd_vset", "cmd_rem", "cmd_lock", "cmd_ce",
          "cmd_n", "cmd_f", "cmd_vlimit", "cmd_plimit", "cmd_ilimit", "cmd_enter", "cmd_output",
          "cmd_v", "cmd_u", "cmd_i", "cmd_p", "cmd_exit"}) {
        QTest::newRow(key) << key;
    }
}

// A right or middle press on a push-button key changes nothing, the focus
// included: the typed text stays, and a left press on V then sends it.
void SetpointEntryTest::otherButtonsLeaveTheFocus() {
    QFETCH(QString, key);
    EndProgramRecorder ends;
    QVERIFY(bench().Start({}));
    Form1& panel = bench().panel();

    QVERIFY(TypeWithFocus(panel, panel.txt_v, QStringLiteral("12")));
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        Click(panel.findChild<QWidget*>(key), button);
    }
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), panel.txt_v);
    QCOMPARE(panel.txt_v->text(), QString("12"));
    QCOMPARE(bench().Sent(), QStringList());

    Click(panel.cmd_v);
    QCOMPARE(bench().Sent(), QStringList{"SV 12.00"});
    QCOMPARE(EndProgramRecorder::Count(), 0);
}

void SetpointEntryTest::leavingTheBox_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("action"); // "Tab", "menu", "window", "message" or a control
    QTest::addColumn<QString>("after");  // the box's text then

    QTest::newRow("v, Tab") << "txt_v"
                            << "12"
                            << "Tab"
                            << "";
    QTest::newRow("v, click into the U box") << "txt_v"
                                             << "12"
                                             << "txt_u"
                                             << "";
    QTest::newRow("p, click into the I box") << "txt_p"
                                             << "12"
                                             << "txt_i"
                                             << "";
    // Not a move to another control of the panel: the box keeps its text.
    QTest::newRow("v, its context menu") << "txt_v"
                                         << "12"
                                         << "menu"
                                         << "12";
    QTest::newRow("u, another window") << "txt_u"
                                       << "12"
                                       << "window"
                                       << "12";
    QTest::newRow("i, a message box") << "txt_i"
                                      << "1.5"
                                      << "message"
                                      << "1.5";
    // The percent box is brought into range instead of emptied.
    QTest::newRow("+ %, Tab") << "txt_plus"
                              << "160"
                              << "Tab"
                              << "150";
    QTest::newRow("+ %, its context menu") << "txt_plus"
                                           << "160"
                                           << "menu"
                                           << "160";
    QTest::newRow("+ %, another window") << "txt_plus"
                                         << "99"
                                         << "window"
                                         << "99";
}

// Only a move of the focus to another control of the panel is a focus loss of
// an entry box.
void SetpointEntryTest::leavingTheBox() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, action);
    QFETCH(QString, after);
    QVERIFY(bench().Start({}));
    Form1& panel = bench().panel();
    auto* entry = panel.findChild<EntryBox*>(box);
    const QString shownBefore = panel.dis_lv->text() + panel.dis_v->text();
    if (box == "txt_plus") {
        Click(panel.cmd_plus);
        QVERIFY(ActivatePanel(panel));
        TypeOver(entry, typed);
    } else {
        panel.EditTarget = QStringLiteral("plus");
        QVERIFY(TypeWithFocus(panel, entry, typed));
    }

    if (action == "Tab") {
        QTest::keyClick(entry, Qt::Key_Tab);
    } else if (action == "menu") {
        QContextMenuEvent press(QContextMenuEvent::Mouse, entry->rect().center(),
                                entry->mapToGlobal(entry->rect().center()));
        QApplication::sendEvent(entry, &press);
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        QApplication::activePopupWidget()->close();
        QVERIFY(ActivatePanel(panel));
    } else if (action == "window") {
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        other.close();
        QVERIFY(ActivatePanel(panel));
    } else if (action == "message") {
        panel.ShowMessage(QStringLiteral("A message"), QStringLiteral("Title"));
        QVERIFY(ActivatePanel(panel));
    } else {
        Click(panel.findChild<QWidget*>(action));
    }
    // A box that lost its focus is emptied once the events have run.
    QCoreApplication::processEvents();

    QCOMPARE(entry->text(), after);
    if (after == typed) {
        QTRY_VERIFY(entry->hasFocus());
    }
    QCOMPARE(bench().Sent(), QStringList());
    QCOMPARE(panel.EditTarget, QString("plus"));
    QCOMPARE(panel.dis_lv->text() + panel.dis_v->text(), shownBefore);
}

void SetpointEntryTest::powerKeyPausesBeforeReadBack() {
    QVERIFY(bench().Start({}));
    Form1& panel = bench().panel();

    QVERIFY(TypeWithFocus(panel, panel.txt_p, QStringLiteral("120")));
    Click(panel.cmd_p);

    const QList<SimProcess::LogEntry> sent = bench().SentEntries();
    QCOMPARE(SimProcess::Commands(sent), (QStringList{"SP 120", "I"}));
    const QString shortPauses = ShortPauses(sent);
    QVERIFY2(shortPauses.isEmpty(), qPrintable(shortPauses));
    // 120 W at 40 V: 3 A and the supply's headroom.
    QCOMPARE(panel.dis_li->text(), QString("3.03"));
    QCOMPARE(panel.CurrentLimit, 3.03f);
}

QTEST_MAIN(SetpointEntryTest)
#include "test_setpoint_entry.moc"
