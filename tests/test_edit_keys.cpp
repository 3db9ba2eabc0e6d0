// SPDX-License-Identifier: GPL-3.0-or-later
// ENTER, CE and V SET on every edit target, against the simulated supply. The
// edits are opened here as the limit and percent keys leave them.
#include "panel_checks.h"
#include "panel_fixture.h"
#include "sim_panel.h"
#include "supply_link.h"

#include <QElapsedTimer>
#include <QTest>
#include <cmath>

namespace {

// A limit edit as its key's press leaves it, with the blinking label caught
// while hidden.
void OpenLimitEdit(Form1& panel, const QString& target) {
    panel.EditTarget = target;
    if (target == QLatin1String("vlimit")) {
        panel.EditOrigin = panel.VoltageLimit;
        panel.lbl_cmd->setText(TargetCaption::VoltageLimit);
        panel.FlashControl = panel.lbl_u;
        panel.EnableGroupVLimit(false);
    } else if (target == QLatin1String("ilimit")) {
        panel.EditOrigin = panel.CurrentLimit;
        panel.lbl_cmd->setText(TargetCaption::CurrentLimit);
        panel.FlashControl = panel.lbl_i;
        panel.EnableGroupILimit(false);
    } else {
        panel.EditOrigin = panel.PowerLimit;
        panel.lbl_cmd->setText(TargetCaption::PowerLimit);
        panel.FlashControl = panel.lbl_p;
        panel.EnableGroupPLimit(false);
    }
    panel.tmr_flash->start();
    panel.FlashControl->hide();
}

// A percent edit as its key leaves it with the output off: the own box enabled
// and holding the focus, the other box and the keys of other modes disabled.
void OpenPercentEdit(Form1& panel, const QString& target) {
    const bool plus = target == QLatin1String("plus");
    panel.EditTarget = target;
    panel.lbl_cmd->setText(plus ? TargetCaption::PlusPercent : TargetCaption::MinusPercent);
    (plus ? panel.cmd_plus : panel.cmd_minus)->setEnabled(false);
    (plus ? panel.cmd_minus : panel.cmd_plus)->setEnabled(true);
    panel.EditOrigin = plus ? panel.PlusPercent : panel.MinusPercent;
    EntryBox* own = plus ? panel.txt_plus : panel.txt_minus;
    own->setEnabled(true);
    own->setFocus();
    (plus ? panel.txt_minus : panel.txt_plus)->setEnabled(false);
    panel.EnableGroupEdit(false);
}

// Changes the edited percentage as the user can: "stored" as the up and down
// keys leave it (value and box), "typed" without the Enter key, "confirmed"
// with it.
bool ChangePercent(Form1& panel, const QString& target, const QString& how, const QString& value) {
    const bool plus = target == QLatin1String("plus");
    EntryBox* box = plus ? panel.txt_plus : panel.txt_minus;
    if (how == QLatin1String("stored")) {
        (plus ? panel.PlusPercent : panel.MinusPercent) = SingleNumber(value);
        box->setText(value);
        return true;
    }
    if (!ActivatePanel(panel)) {
        return false;
    }
    // Typed over the old text, as a user selects it and types.
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    QTest::keyClicks(box, value);
    if (how == QLatin1String("confirmed")) {
        QTest::keyClick(box, Qt::Key_Return);
    }
    return box->hasFocus();
}

QList<QWidget*> EntryGroup(const Form1& p) {
    return {p.cmd_plus,   p.cmd_normal, p.cmd_minus,  p.cmd_vset,    p.cmd_rem,  p.cmd_lock,
            p.cmd_vlimit, p.cmd_ilimit, p.cmd_plimit, p.frm_voltage, p.frm_limit};
}

} // namespace

class EditKeysTest : public PanelTest {
    Q_OBJECT
private slots:
    void limitEdits_data();
    void limitEdits();
    void enterSendsPercentChange_data();
    void enterSendsPercentChange();
    void enterAfterUnansweredPercentQuery();
    void ceDropsPercentChange_data();
    void ceDropsPercentChange();
    void keysThatChangeNothing_data();
    void keysThatChangeNothing();
};

void EditKeysTest::limitEdits_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("target");
    QTest::addColumn<float>("origin");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<float>("originAfter");
    QTest::addColumn<QStringList>("supply");
    QTest::addColumn<bool>("noVoltageLimit");

    // The simulator starts with the limit as the up and down keys left it.
    const QStringList at33{"--vlimit", "33", "--ilimit", "2.5", "--plimit", "82"};
    QTest::newRow("V LIMIT 30 stepped to 33, CE")
        << at33 << "vlimit" << 30.0f << "cmd_ce" << QStringList{"SU 30"}
        << QStringList{"dis_lv=30", "txt_u=30", "dis_lp=075", "txt_p=075"} << 30.0f
        << QStringList{"vlimit=30", "plimit=075"} << false;
    QTest::newRow("V LIMIT 30 stepped to 33, ENTER")
        << at33 << "vlimit" << 30.0f << "cmd_enter" << QStringList{}
        << QStringList{"dis_lv=33", "txt_u=", "dis_lp=082"} << 33.0f
        << QStringList{"vlimit=33", "plimit=082"} << false;
    const QStringList at3A{"--vlimit", "30", "--ilimit", "3", "--plimit", "90"};
    QTest::newRow("I LIMIT 2.5 stepped to 3, CE")
        << at3A << "ilimit" << 2.5f << "cmd_ce" << QStringList{"SI 2.50"}
        << QStringList{"dis_li=2.50", "txt_i=2.50", "dis_lp=075", "txt_p=075"} << 2.5f
        << QStringList{"ilimit=2.50", "plimit=075"} << false;
    QTest::newRow("I LIMIT 2.5 stepped to 3, ENTER")
        << at3A << "ilimit" << 2.5f << "cmd_enter" << QStringList{}
        << QStringList{"dis_li=3.00", "txt_i=", "dis_lp=090"} << 3.0f << QStringList{"ilimit=3.00"}
        << false;
    // The current shown is what 210 W allow at 60 V, 3.50 A, plus 0.03 A.
    const QStringList at150W{"--model", "ZRM-711", "--ilimit", "2.5", "--plimit", "150"};
    QTest::newRow("P LIMIT 210 stepped to 150 at 60 V, CE")
        << at150W << "plimit" << 210.0f << "cmd_ce" << QStringList{"SP 210"}
        << QStringList{"dis_lp=210", "txt_p=210", "dis_li=3.53", "txt_i=3.53"} << 210.0f
        << QStringList{"plimit=210"} << false;
    QTest::newRow("P LIMIT 210 stepped to 150 at 60 V, ENTER")
        << at150W << "plimit" << 210.0f << "cmd_enter" << QStringList{}
        << QStringList{"dis_lp=150", "txt_p="} << 150.0f << QStringList{"plimit=150"} << false;
    // A supply that reported a voltage limit of 0: no current can be worked
    // out, so the current limit stays as it was.
    QTest::newRow("P LIMIT CE with a voltage limit of 0")
        << at150W << "plimit" << 210.0f << "cmd_ce" << QStringList{"SP 210"}
        << QStringList{"dis_lp=210", "txt_p=210", "dis_li=2.50", "txt_i="} << 210.0f
        << QStringList{"plimit=210"} << true;
}

void EditKeysTest::limitEdits() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, target);
    QFETCH(float, origin);
    QFETCH(QString, key);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, shown);
    QFETCH(float, originAfter);
    QFETCH(QStringList, supply);
    QFETCH(bool, noVoltageLimit);
    QVERIFY(bench().Start(simArgs));
    Form1& panel = bench().panel();
    if (noVoltageLimit) {
        panel.VoltageLimit = 0;
    }
    OpenLimitEdit(panel, target);
    panel.EditOrigin = origin;

    Click(panel.findChild<QWidget*>(key));

    QCOMPARE(bench().Sent(), commands);
    const QString wrong = ShownMismatches(panel, shown);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(panel.EditOrigin, originAfter);
    QCOMPARE(panel.EditTarget, QString("vset"));
    QCOMPARE(panel.lbl_cmd->text(), TargetCaption::VoltageSet);
    QVERIFY(!panel.tmr_flash->isActive());
    QVERIFY(!panel.FlashControl->isHidden());
    QVERIFY(AllEnabled(EntryGroup(panel), true));
    // The members hold what the displays show.
    QCOMPARE(panel.CurrentLimit, SingleNumber(panel.dis_li->text()));
    QCOMPARE(panel.PowerLimit, SingleNumber(panel.dis_lp->text()));
    const QString wrongSupply = SupplyMismatches(bench().sim(), supply);
    QVERIFY2(wrongSupply.isEmpty(), qPrintable(wrongSupply));
}

void EditKeysTest::enterSendsPercentChange_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<float>("origin");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<float>("originAfter");

    const QString up = QStringLiteral("SB+");
    const QString down = QStringLiteral("SB-");
    QTest::newRow("+ % 100 stepped to 103") << "plus" << 100.0f << "stored"
                                            << "103" << QStringList(3, up) << 103.0f;
    QTest::newRow("+ % 100, 103 typed and confirmed") << "plus" << 100.0f << "confirmed"
                                                      << "103" << QStringList(3, up) << 103.0f;
    QTest::newRow("+ % 100, 105 typed, not confirmed") << "plus" << 100.0f << "typed"
                                                       << "105" << QStringList(5, up) << 105.0f;
    QTest::newRow("+ % 140, 160 typed: 150") << "plus" << 140.0f << "typed"
                                             << "160" << QStringList(10, up) << 150.0f;
    QTest::newRow("+ % 110 stepped to 108") << "plus" << 110.0f << "stored"
                                            << "108" << QStringList(2, down) << 108.0f;
    QTest::newRow("+ % unchanged") << "plus" << 100.0f << "stored"
                                   << "100" << QStringList() << 100.0f;
    // Half a point rounds to the even count.
    QTest::newRow("+ % 100.5 to 103: 2 points") << "plus" << 100.5f << "stored"
                                                << "103" << QStringList(2, up) << 103.0f;
    QTest::newRow("+ % 100.5 to 104: 4 points") << "plus" << 100.5f << "stored"
                                                << "104" << QStringList(4, up) << 104.0f;
    QTest::newRow("- % 100 stepped to 98") << "minus" << 100.0f << "stored"
                                           << "98" << QStringList(2, "SD-") << 98.0f;
    QTest::newRow("- % 55, 40 typed: 50") << "minus" << 55.0f << "typed"
                                          << "40" << QStringList(5, "SD-") << 50.0f;
    QTest::newRow("- % 60, 63 typed and confirmed") << "minus" << 60.0f << "confirmed"
                                                    << "63" << QStringList(3, "SD+") << 63.0f;
    QTest::newRow("- % unchanged") << "minus" << 80.0f << "typed"
                                   << "80" << QStringList() << 80.0f;
}

void EditKeysTest::enterSendsPercentChange() {
    QFETCH(QString, target);
    QFETCH(float, origin);
    QFETCH(QString, how);
    QFETCH(QString, value);
    QFETCH(QStringList, commands);
    QFETCH(float, originAfter);
    const bool plus = target == QLatin1String("plus");
    const QString start = QString::number(std::floor(origin));
    QVERIFY(bench().Start({plus ? "--plus" : "--minus", start}));
    Form1& panel = bench().panel();
    OpenPercentEdit(panel, target);
    panel.EditOrigin = origin;
    QVERIFY(ChangePercent(panel, target, how, value));

    // What the window shows while ENTER sends, sampled as its pauses run events.
    QStringList during;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        during << QStringLiteral("%1 %2 %3 %4")
                      .arg(panel.frm_keypad->isEnabled())
                      .arg(panel.cmd_add->isEnabled())
                      .arg(panel.cmd_sub->isEnabled())
                      .arg(panel.StatusText(StatusPanel::Status));
    });
    sampler.start(20);
    QElapsedTimer clock;
    clock.start();
    Click(panel.cmd_enter);
    const qint64 elapsedMs = clock.elapsed();
    sampler.stop();

    const QList<SimProcess::LogEntry> sent = bench().SentEntries();
    QCOMPARE(SimProcess::Commands(sent), commands);
    const QString shortPauses = ShortPauses(sent);
    QVERIFY2(shortPauses.isEmpty(), qPrintable(shortPauses));
    // A pause follows the last command too.
    QVERIFY(elapsedMs >= 150 * commands.size());
    if (commands.isEmpty()) {
        QCOMPARE(during, QStringList());
    } else {
        QVERIFY(!during.isEmpty());
        QCOMPARE(during, QStringList(during.size(), "0 0 0 " + QString(StatusPanel1::Sending)));
    }
    QCOMPARE(panel.StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QVERIFY(panel.frm_keypad->isEnabled());
    QVERIFY(panel.cmd_add->isEnabled());
    QVERIFY(panel.cmd_sub->isEnabled());
    QVERIFY(panel.cmd_plus->isEnabled());
    QVERIFY(panel.cmd_minus->isEnabled());
    QVERIFY(!panel.txt_plus->isEnabled());
    QVERIFY(!panel.txt_minus->isEnabled());
    QVERIFY(AllEnabled(EditGroup(panel), true));
    QCOMPARE(panel.EditOrigin, originAfter);
    QCOMPARE(plus ? panel.PlusPercent : panel.MinusPercent, originAfter);
    QCOMPARE(panel.EditTarget, QString("vset"));
    QCOMPARE(panel.lbl_cmd->text(), TargetCaption::VoltageSet);
    // The supply moved by the points sent from where it stood.
    const int moved = static_cast<int>(commands.count("SB+") + commands.count("SD+")) -
                      static_cast<int>(commands.count("SB-") + commands.count("SD-"));
    QCOMPARE(bench().sim().State().value(target), QString::number(start.toInt() + moved));
}

// A "+ %" query that the supply left unanswered reads as 0: from there 120 is
// more points than the supply's range holds, and only that range is sent.
void EditKeysTest::enterAfterUnansweredPercentQuery() {
    QVERIFY(bench().Start({"--drop", "B"}));
    Form1& panel = bench().panel();
    QCOMPARE(panel.PlusPercent, 0.0f);
    OpenPercentEdit(panel, "plus");
    QVERIFY(ChangePercent(panel, "plus", "typed", "120"));

    Click(panel.cmd_enter);

    QCOMPARE(bench().Sent(), QStringList(50, "SB+"));
    QCOMPARE(panel.EditOrigin, 120.0f);
    QCOMPARE(panel.StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QCOMPARE(bench().sim().State().value("plus"), QString("150"));
}

void EditKeysTest::ceDropsPercentChange_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("restored");

    QTest::newRow("+ % 100 stepped to 120") << "plus"
                                            << "stored"
                                            << "120"
                                            << "100";
    QTest::newRow("+ % 100, 130 typed") << "plus"
                                        << "typed"
                                        << "130"
                                        << "100";
    QTest::newRow("+ % 100, 130 confirmed") << "plus"
                                            << "confirmed"
                                            << "130"
                                            << "100";
    QTest::newRow("- % 80, 60 typed") << "minus"
                                      << "typed"
                                      << "60"
                                      << "080";
    QTest::newRow("- % 80 stepped to 70") << "minus"
                                          << "stored"
                                          << "70"
                                          << "080";
}

void EditKeysTest::ceDropsPercentChange() {
    QFETCH(QString, target);
    QFETCH(QString, how);
    QFETCH(QString, value);
    QFETCH(QString, restored);
    const bool plus = target == QLatin1String("plus");
    QVERIFY(bench().Start({"--plus", "100", "--minus", "80"}));
    Form1& panel = bench().panel();
    OpenPercentEdit(panel, target);
    QVERIFY(ChangePercent(panel, target, how, value));

    Click(panel.cmd_ce);

    QCOMPARE(bench().Sent(), QStringList());
    QCOMPARE((plus ? panel.txt_plus : panel.txt_minus)->text(), restored);
    QCOMPARE(plus ? panel.PlusPercent : panel.MinusPercent, restored.toFloat());
    QCOMPARE(panel.EditOrigin, restored.toFloat());
    QVERIFY(panel.cmd_plus->isEnabled());
    QVERIFY(panel.cmd_minus->isEnabled());
    QVERIFY(!panel.txt_plus->isEnabled());
    QVERIFY(!panel.txt_minus->isEnabled());
    QVERIFY(AllEnabled(EditGroup(panel), true));
    QCOMPARE(panel.EditTarget, QString("vset"));
    QCOMPARE(panel.lbl_cmd->text(), TargetCaption::VoltageSet);
    const QMap<QString, QString> state = bench().sim().State();
    QCOMPARE(state.value("plus"), QString("100"));
    QCOMPARE(state.value("minus"), QString("80"));
}

void EditKeysTest::keysThatChangeNothing_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("key");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QString>("caption");

    // Without an edit ENTER and CE do nothing; V SET only names the target.
    QTest::newRow("ENTER, idle") << "vset"
                                 << "cmd_enter" << Qt::LeftButton
                                 << QString(TargetCaption::AtStart);
    QTest::newRow("CE, idle") << "vset"
                              << "cmd_ce" << Qt::LeftButton << QString(TargetCaption::AtStart);
    QTest::newRow("V SET, idle") << "vset"
                                 << "cmd_vset" << Qt::LeftButton
                                 << QString(TargetCaption::VoltageSet);
    QTest::newRow("V SET, right button")
        << "vset"
        << "cmd_vset" << Qt::RightButton << QString(TargetCaption::AtStart);
    QTest::newRow("V SET, middle button")
        << "vset"
        << "cmd_vset" << Qt::MiddleButton << QString(TargetCaption::AtStart);
    // Only the left button closes an edit.
    QTest::newRow("ENTER, right button")
        << "vlimit"
        << "cmd_enter" << Qt::RightButton << QString(TargetCaption::VoltageLimit);
    QTest::newRow("CE, right button")
        << "vlimit"
        << "cmd_ce" << Qt::RightButton << QString(TargetCaption::VoltageLimit);
    QTest::newRow("CE, middle button")
        << "ilimit"
        << "cmd_ce" << Qt::MiddleButton << QString(TargetCaption::CurrentLimit);
}

void EditKeysTest::keysThatChangeNothing() {
    QFETCH(QString, target);
    QFETCH(QString, key);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QString, caption);
    QVERIFY(bench().Start({"--vlimit", "30", "--ilimit", "2"}));
    Form1& panel = bench().panel();
    if (target != QLatin1String("vset")) {
        OpenLimitEdit(panel, target);
    }
    panel.EditOrigin = 12;
    const QString shown = panel.dis_lv->text() + panel.dis_li->text() + panel.dis_lp->text();
    const bool blinking = panel.tmr_flash->isActive();
    const bool vsetEnabled = panel.cmd_vset->isEnabled();

    Click(panel.findChild<QWidget*>(key), button);

    QCOMPARE(bench().Sent(), QStringList());
    QCOMPARE(panel.EditTarget, target);
    QCOMPARE(panel.lbl_cmd->text(), caption);
    QCOMPARE(panel.EditOrigin, 12.0f);
    QCOMPARE(panel.dis_lv->text() + panel.dis_li->text() + panel.dis_lp->text(), shown);
    QCOMPARE(panel.tmr_flash->isActive(), blinking);
    QCOMPARE(panel.cmd_vset->isEnabled(), vsetEnabled);
    QCOMPARE(panel.VoltageLimit, 30.0f);
    QCOMPARE(panel.CurrentLimit, 2.0f);
}

QTEST_MAIN(EditKeysTest)
#include "test_edit_keys.moc"
