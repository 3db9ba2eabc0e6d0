// SPDX-License-Identifier: GPL-3.0-or-later
// The up and down keys against the simulated supply: the bounds of every edit
// target on each model in normal and fine mode, the commands and pauses of a
// power step, the pressed look and the focus.
#include "panel_checks.h"
#include "sim_panel.h"

#include <QTest>
#include <QTimer>

namespace {

QString TextOf(const Form1& panel, const QString& control) {
    return panel.findChild<QWidget*>(control)->property("text").toString();
}

QStringList Repeated(const QStringList& commands, int times) {
    QStringList all;
    for (int i = 0; i < times; ++i) {
        all << commands;
    }
    return all;
}

// Sets the power limit as a user does: typed into its box and sent with "P".
void EnterPowerLimit(Form1& panel, int watts) {
    TypeInto(panel.txt_p, QString::number(watts));
    Click(panel.cmd_p);
}

} // namespace

class StepAdjustTest : public QObject {
    Q_OBJECT
private slots:
    void bounds_data();
    void bounds();
    void limitStepsUpdateOthers_data();
    void limitStepsUpdateOthers();
    void powerStepWire_data();
    void powerStepWire();
    void keysHeldWhilePowerStepWaits_data();
    void keysHeldWhilePowerStepWaits();
    void pressedLookAndFocus_data();
    void pressedLookAndFocus();
};

void StepAdjustTest::bounds_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("powerLimit");  // typed into the P entry first; 0: none
    QTest::addColumn<QString>("openKey"); // opens the edit target; empty: "vset"
    QTest::addColumn<QString>("key");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("shown"); // the control that shows the value
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("stepCommands"); // what one accepted step sends
    QTest::addColumn<int>("steps");                // how many steps were accepted
    QTest::addColumn<QString>("simKey"); // the supply's setting that must match; empty: none

    const auto L = Qt::LeftButton;
    const QString up = "cmd_add";
    const QString down = "cmd_sub";
    const QStringList sv{"SV+"}, svDown{"SV-"}, su{"SU+"}, suDown{"SU-"}, si{"SI+"}, siDown{"SI-"},
        sp{"SP+", "I"}, spDown{"SP-", "I"}, none{};

    // Output voltage: up to the voltage limit, down to 0.
    QTest::newRow("711 V normal: 59.50 up refused")
        << QStringList{"--model", "ZRM-711", "--vset", "59.5", "--vlimit", "60"} << 0 << "" << up
        << L << 1 << "dis_v"
        << "59.50" << sv << 0 << "vset";
    QTest::newRow("711 V fine: 50 steps from 59.50 to 60.00, the 51st refused")
        << QStringList{"--model", "ZRM-711", "--fine", "--vset", "59.5", "--vlimit", "60"} << 0
        << "" << up << L << 51 << "dis_v"
        << "60.00" << sv << 50 << "vset";
    QTest::newRow("711 V normal: 1.00 down to 0.00, then refused")
        << QStringList{"--model", "ZRM-711", "--vset", "1"} << 0 << "" << down << L << 2 << "dis_v"
        << "00.00" << svDown << 1 << "vset";
    QTest::newRow("711 V normal: 0.50 down refused")
        << QStringList{"--model", "ZRM-711", "--vset", "0.5"} << 0 << "" << down << L << 1
        << "dis_v"
        << "00.50" << svDown << 0 << "vset";
    QTest::newRow("522 V normal: 38 up to the limit 40")
        << QStringList{"--model", "ZRM-522", "--vset", "38"} << 0 << "" << up << L << 3 << "dis_v"
        << "40.00" << sv << 2 << "vset";
    QTest::newRow("522 V fine: 0.02 down to 0.00")
        << QStringList{"--model", "ZRM-522", "--fine", "--vset", "0.02"} << 0 << "" << down << L
        << 3 << "dis_v"
        << "00.00" << svDown << 2 << "vset";
    QTest::newRow("522 V normal, right button up")
        << QStringList{"--model", "ZRM-522", "--vset", "5"} << 0 << "" << up << Qt::RightButton << 1
        << "dis_v"
        << "06.00" << sv << 1 << "vset";
    QTest::newRow("3033 V fine: 19.98 up to 20.00")
        << QStringList{"--model", "ZRM-3033", "--fine", "--vset", "19.98"} << 0 << "" << up << L
        << 3 << "dis_v"
        << "20.00" << sv << 2 << "vset";
    QTest::newRow("3033 V normal, middle button down: 1.50 to 0.50")
        << QStringList{"--model", "ZRM-3033", "--vset", "1.5"} << 0 << "" << down
        << Qt::MiddleButton << 2 << "dis_v"
        << "00.50" << svDown << 1 << "vset";

    // Voltage limit: 1 V steps in both modes, up to the model's maximum, down to 1.
    QTest::newRow("711 V LIMIT normal: 59 up to 60")
        << QStringList{"--model", "ZRM-711", "--vlimit", "59"} << 0 << "cmd_vlimit" << up << L << 2
        << "dis_lv"
        << "60" << su << 1 << "vlimit";
    QTest::newRow("711 V LIMIT fine: 2 down to 1")
        << QStringList{"--model", "ZRM-711", "--fine", "--vlimit", "2", "--vset", "0"} << 0
        << "cmd_vlimit" << down << L << 2 << "dis_lv"
        << "01" << suDown << 1 << "vlimit";
    QTest::newRow("522 V LIMIT fine: 39 up to 40")
        << QStringList{"--model", "ZRM-522", "--fine", "--vlimit", "39"} << 0 << "cmd_vlimit" << up
        << L << 2 << "dis_lv"
        << "40" << su << 1 << "vlimit";
    QTest::newRow("522 V LIMIT normal: 2 down to 1")
        << QStringList{"--model", "ZRM-522", "--vlimit", "2", "--vset", "0"} << 0 << "cmd_vlimit"
        << down << L << 2 << "dis_lv"
        << "01" << suDown << 1 << "vlimit";
    QTest::newRow("3033 V LIMIT normal: 19 up to 20")
        << QStringList{"--model", "ZRM-3033", "--vlimit", "19"} << 0 << "cmd_vlimit" << up << L << 2
        << "dis_lv"
        << "20" << su << 1 << "vlimit";
    QTest::newRow("3033 V LIMIT fine: 2 down to 1")
        << QStringList{"--model", "ZRM-3033", "--fine", "--vlimit", "2", "--vset", "0"} << 0
        << "cmd_vlimit" << down << L << 2 << "dis_lv"
        << "01" << suDown << 1 << "vlimit";

    // Current limit: up to the model's maximum, down to 0.02, in float.
    QTest::newRow("711 I LIMIT normal: 3.40 up to 3.50")
        << QStringList{"--model", "ZRM-711", "--ilimit", "3.4"} << 0 << "cmd_ilimit" << up << L << 2
        << "dis_li"
        << "3.50" << si << 1 << "ilimit";
    QTest::newRow("711 I LIMIT fine: 3.48 up to 3.50")
        << QStringList{"--model", "ZRM-711", "--fine", "--ilimit", "3.48"} << 0 << "cmd_ilimit"
        << up << L << 3 << "dis_li"
        << "3.50" << si << 2 << "ilimit";
    QTest::newRow("711 I LIMIT fine: 0.03 down to 0.02, then refused")
        << QStringList{"--model", "ZRM-711", "--fine", "--ilimit", "0.03"} << 0 << "cmd_ilimit"
        << down << L << 2 << "dis_li"
        << "0.02" << siDown << 1 << "ilimit";
    QTest::newRow("522 I LIMIT normal: 4.90 up to 5.00")
        << QStringList{"--model", "ZRM-522", "--ilimit", "4.9"} << 0 << "cmd_ilimit" << up << L << 2
        << "dis_li"
        << "5.00" << si << 1 << "ilimit";
    QTest::newRow("522 I LIMIT fine: 4.99 up to 5.00")
        << QStringList{"--model", "ZRM-522", "--fine", "--ilimit", "4.99"} << 0 << "cmd_ilimit"
        << up << L << 2 << "dis_li"
        << "5.00" << si << 1 << "ilimit";
    // 0.12 - 0.1 is just below 0.02 in single precision: the step is refused.
    QTest::newRow("522 I LIMIT normal: 0.22 down to 0.12, then refused")
        << QStringList{"--model", "ZRM-522", "--ilimit", "0.22"} << 0 << "cmd_ilimit" << down << L
        << 3 << "dis_li"
        << "0.12" << siDown << 1 << "ilimit";
    QTest::newRow("3033 I LIMIT fine: 9.98 up to 9.99")
        << QStringList{"--model", "ZRM-3033", "--fine", "--ilimit", "9.98"} << 0 << "cmd_ilimit"
        << up << L << 2 << "dis_li"
        << "9.99" << si << 1 << "ilimit";
    QTest::newRow("3033 I LIMIT normal: 9.90 up refused")
        << QStringList{"--model", "ZRM-3033", "--ilimit", "9.9"} << 0 << "cmd_ilimit" << up << L
        << 1 << "dis_li"
        << "9.90" << si << 0 << "ilimit";

    // Power limit (output off, so each step reads the current limit back).
    QTest::newRow("711 at 10 V: 34 W up to 35 W, 36 W refused")
        << QStringList{"--model", "ZRM-711", "--vlimit", "10"} << 34 << "cmd_plimit" << up << L << 2
        << "dis_lp"
        << "035" << sp << 1 << "plimit";
    QTest::newRow("711 fine: 2 W down to 1 W, then refused")
        << QStringList{"--model", "ZRM-711", "--fine"} << 2 << "cmd_plimit" << down << L << 2
        << "dis_lp"
        << "001" << spDown << 1 << "plimit";
    QTest::newRow("522 at 40 V: 199 W up to 200 W")
        << QStringList{"--model", "ZRM-522"} << 199 << "cmd_plimit" << up << L << 2 << "dis_lp"
        << "200" << sp << 1 << "plimit";
    QTest::newRow("3033 fine at 20 V: 198 W up to 199 W")
        << QStringList{"--model", "ZRM-3033", "--fine"} << 198 << "cmd_plimit" << up << L << 2
        << "dis_lp"
        << "199" << sp << 1 << "plimit";
    // The panel still knows 50 W while the supply derived 30 W from 10 V x 3 A.
    QTest::newRow("522: down refused above voltage x current limit")
        << QStringList{"--model", "ZRM-522", "--vlimit", "10", "--ilimit", "3", "--plimit", "50"}
        << 0 << "cmd_plimit" << down << L << 1 << "dis_lp"
        << "050" << spDown << 0 << "";

    // Percent offsets: stepped on the panel only.
    QTest::newRow("+ %: 149 up to 150")
        << QStringList{"--plus", "149"} << 0 << "cmd_plus" << up << L << 2 << "txt_plus"
        << "150" << none << 1 << "";
    QTest::newRow("+ % fine: 101 down to 100")
        << QStringList{"--fine", "--plus", "101"} << 0 << "cmd_plus" << down << L << 2 << "txt_plus"
        << "100" << none << 1 << "";
    QTest::newRow("- %: 99 up to 100")
        << QStringList{"--minus", "99"} << 0 << "cmd_minus" << up << L << 2 << "txt_minus"
        << "100" << none << 1 << "";
    QTest::newRow("- % fine: 51 down to 50") << QStringList{"--fine", "--minus", "51"} << 0
                                             << "cmd_minus" << down << L << 2 << "txt_minus"
                                             << "50" << none << 1 << "";
}

void StepAdjustTest::bounds() {
    QFETCH(QStringList, simArgs);
    QFETCH(int, powerLimit);
    QFETCH(QString, openKey);
    QFETCH(QString, key);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, presses);
    QFETCH(QString, shown);
    QFETCH(QString, text);
    QFETCH(QStringList, stepCommands);
    QFETCH(int, steps);
    QFETCH(QString, simKey);

    SimPanel s;
    QVERIFY(s.Start(simArgs));
    Form1& panel = s.panel();
    if (powerLimit > 0) {
        EnterPowerLimit(panel, powerLimit);
    }
    if (!openKey.isEmpty()) {
        Click(panel.findChild<QWidget*>(openKey));
    }
    s.Sent();

    for (int i = 0; i < presses; ++i) {
        Click(panel.findChild<QWidget*>(key), button);
    }

    QCOMPARE(s.Sent(), Repeated(stepCommands, steps));
    QCOMPARE(TextOf(panel, shown), text);
    if (!simKey.isEmpty()) {
        QCOMPARE(s.sim().State().value(simKey), text);
    }
}

void StepAdjustTest::limitStepsUpdateOthers_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("openKey");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("vset");
    QTest::addColumn<QString>("vlimit");
    QTest::addColumn<QString>("ilimit");
    QTest::addColumn<QString>("plimit");

    QTest::newRow("V LIMIT down pulls the set-point along")
        << QStringList{"--vlimit", "12", "--vset", "12", "--ilimit", "2.5"} << "cmd_vlimit"
        << "cmd_sub"
        << "SU-"
        << "11.00"
        << "11"
        << "2.50"
        << "027";
    QTest::newRow("V LIMIT up leaves the set-point")
        << QStringList{"--vlimit", "12", "--vset", "12", "--ilimit", "2.5"} << "cmd_vlimit"
        << "cmd_add"
        << "SU+"
        << "12.00"
        << "13"
        << "2.50"
        << "032";
    QTest::newRow("V LIMIT down above the set-point")
        << QStringList{"--vlimit", "12", "--vset", "5", "--ilimit", "2.5"} << "cmd_vlimit"
        << "cmd_sub"
        << "SU-"
        << "05.00"
        << "11"
        << "2.50"
        << "027";
    QTest::newRow("I LIMIT up") << QStringList{"--model", "ZRM-711",  "--vlimit",
                                               "10",      "--ilimit", "2"}
                                << "cmd_ilimit"
                                << "cmd_add"
                                << "SI+"
                                << "05.00"
                                << "10"
                                << "2.10"
                                << "021";
    QTest::newRow("I LIMIT fine down")
        << QStringList{"--model", "ZRM-3033", "--fine", "--vlimit", "20", "--ilimit", "5"}
        << "cmd_ilimit"
        << "cmd_sub"
        << "SI-"
        << "05.00"
        << "20"
        << "4.99"
        << "099";
}

void StepAdjustTest::limitStepsUpdateOthers() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, openKey);
    QFETCH(QString, key);
    QFETCH(QString, command);
    QFETCH(QString, vset);
    QFETCH(QString, vlimit);
    QFETCH(QString, ilimit);
    QFETCH(QString, plimit);

    SimPanel s;
    QVERIFY(s.Start(simArgs));
    Form1& panel = s.panel();
    Click(panel.findChild<QWidget*>(openKey));
    s.Sent();

    Click(panel.findChild<QWidget*>(key));

    // The whole-watt power limit goes without a command of its own.
    QCOMPARE(s.Sent(), QStringList{command});
    QCOMPARE(panel.dis_v->text(), vset);
    QCOMPARE(panel.dis_lv->text(), vlimit);
    QCOMPARE(panel.dis_li->text(), ilimit);
    QCOMPARE(panel.dis_lp->text(), plimit);
    const QMap<QString, QString> supply = s.sim().State();
    QCOMPARE(supply.value("vset"), vset);
    QCOMPARE(supply.value("vlimit"), vlimit);
    QCOMPARE(supply.value("ilimit"), ilimit);
    QCOMPARE(supply.value("plimit"), plimit);
}

void StepAdjustTest::powerStepWire_data() {
    QTest::addColumn<bool>("outputOn");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("plimit");
    QTest::addColumn<QString>("ilimit"); // what the supply derives from the new power limit
    QTest::addColumn<QString>("boxText");

    // 20 V and 2 A give 40 W; the supply sets 3 hundredths above power / voltage.
    QTest::newRow("output off, up") << false << "cmd_add" << QStringList{"SP+", "I"} << "041"
                                    << "2.08"
                                    << "041";
    QTest::newRow("output off, down") << false << "cmd_sub" << QStringList{"SP-", "I"} << "039"
                                      << "1.98"
                                      << "";
    QTest::newRow("output on, up") << true << "cmd_add" << QStringList{"SP+"} << "041"
                                   << "2.08"
                                   << "041";
    QTest::newRow("output on, down") << true << "cmd_sub" << QStringList{"SP-"} << "039"
                                     << "1.98"
                                     << "";
}

void StepAdjustTest::powerStepWire() {
    QFETCH(bool, outputOn);
    QFETCH(QString, key);
    QFETCH(QStringList, commands);
    QFETCH(QString, plimit);
    QFETCH(QString, ilimit);
    QFETCH(QString, boxText);

    SimPanel s;
    QStringList args{"--vlimit", "20", "--ilimit", "2", "--plimit", "40", "--vset", "1"};
    if (outputOn) {
        args << "--output-on";
    }
    QVERIFY(s.Start(args));
    Form1& panel = s.panel();
    Click(panel.cmd_plimit);
    s.Sent();

    Click(panel.findChild<QWidget*>(key));

    const QList<SimProcess::LogEntry> sent = s.SentEntries();
    QCOMPARE(SimProcess::Commands(sent), commands);
    // The supply is given time to derive its current limit before "I".
    const QString shortPauses = ShortPauses(sent);
    QVERIFY2(shortPauses.isEmpty(), qPrintable(shortPauses));
    QCOMPARE(panel.dis_lp->text(), plimit);
    QCOMPARE(panel.txt_p->text(), boxText);
    // Read back at once with the output off; brought by the poll with it on.
    QCOMPARE(WaitUntilShown(panel, {"dis_li=" + ilimit}), QString());
    QCOMPARE(panel.CurrentLimit, ilimit.toFloat());
    const QMap<QString, QString> supply = s.sim().State();
    QCOMPARE(supply.value("plimit"), plimit);
    QCOMPARE(supply.value("ilimit"), ilimit);
}

void StepAdjustTest::keysHeldWhilePowerStepWaits_data() {
    QTest::addColumn<QString>("key");         // starts the wait for the current limit
    QTest::addColumn<QStringList>("pressed"); // the up and down keys pressed during it
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<int>("pressMs");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("plimit");

    const QStringList up{"SP+", "I"};
    const QStringList down{"SP-", "I"};
    QTest::newRow("up again during the pause")
        << "cmd_add" << QStringList{"cmd_add"} << 0 << 30 << up + up << "042";
    QTest::newRow("two ups during the pause")
        << "cmd_add" << QStringList{"cmd_add", "cmd_add"} << 0 << 30 << up + up + up << "043";
    QTest::newRow("down during the pause")
        << "cmd_add" << QStringList{"cmd_sub"} << 0 << 30 << up + down << "040";
    QTest::newRow("up again during the reply read")
        << "cmd_add" << QStringList{"cmd_add"} << 600 << 250 << up + up << "042";
    QTest::newRow("up during a down step's read")
        << "cmd_sub" << QStringList{"cmd_add"} << 600 << 250 << down + up << "040";
    QTest::newRow("up during P LIMIT's read")
        << "cmd_plimit" << QStringList{"cmd_add"} << 600 << 250 << QStringList{"I"} + up << "041";
}

// Presses of the up and down keys while a power step (or the P LIMIT key)
// waits for the current limit are carried out after it, in order: each step
// tests its bounds against the current limit read back before it, and keeps
// its own pause before "I".
void StepAdjustTest::keysHeldWhilePowerStepWaits() {
    QFETCH(QString, key);
    QFETCH(QStringList, pressed);
    QFETCH(int, latencyMs);
    QFETCH(int, pressMs);
    QFETCH(QStringList, commands);
    QFETCH(QString, plimit);

    SimPanel s;
    QVERIFY(s.Start({"--vlimit", "20", "--ilimit", "2", "--plimit", "40", "--vset", "1",
                     "--latency-ms", QString::number(latencyMs)}));
    Form1& panel = s.panel();
    if (key != "cmd_plimit") {
        Click(panel.cmd_plimit);
        s.Sent();
    }

    bool waiting = false;
    bool pressedWhileWaiting = false;
    bool drawnPressed = true;
    QTimer::singleShot(pressMs, &panel, [&] {
        pressedWhileWaiting = waiting;
        for (qsizetype i = 0; i < pressed.size(); ++i) {
            auto* held = panel.findChild<ImageKey*>(pressed[i]);
            QTest::mousePress(held, Qt::LeftButton);
            drawnPressed = drawnPressed && held->BorderStyle() == 1;
            // The last one comes up after the wait.
            if (i + 1 < pressed.size()) {
                QTest::mouseRelease(held, Qt::LeftButton);
            }
        }
    });
    QWidget* first = panel.findChild<QWidget*>(key);
    waiting = true;
    QTest::mousePress(first, Qt::LeftButton);
    waiting = false;
    QTest::mouseRelease(panel.findChild<QWidget*>(pressed.last()), Qt::LeftButton);
    QTest::mouseRelease(first, Qt::LeftButton);
    QVERIFY(pressedWhileWaiting);
    QVERIFY(drawnPressed);

    const QList<SimProcess::LogEntry> sent = s.SentEntries();
    QCOMPARE(SimProcess::Commands(sent), commands);
    for (qsizetype i = 1; i < sent.size(); ++i) {
        if (sent[i].command == "I" && sent[i - 1].command.startsWith("SP")) {
            const QString shortPause = ShortPauses(sent.mid(i - 1, 2));
            QVERIFY2(shortPause.isEmpty(), qPrintable(shortPause));
        }
    }
    QCOMPARE(panel.dis_lp->text(), plimit);
    QCOMPARE(s.sim().State().value("plimit"), plimit);
    QCOMPARE(panel.dis_li->text(), s.sim().State().value("ilimit"));
    QCOMPARE(panel.cmd_add->BorderStyle(), 0);
    QCOMPARE(panel.cmd_sub->BorderStyle(), 0);
}

void StepAdjustTest::pressedLookAndFocus_data() {
    QTest::addColumn<QString>("openKey");  // opens the edit target first; empty: "vset"
    QTest::addColumn<QString>("target");   // then written into EditTarget; empty: as opened
    QTest::addColumn<QString>("typeInto"); // a box that holds typed text at the press
    QTest::addColumn<QString>("key");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QString>("focus"); // where the focus is after the press
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("V SET, left") << ""
                                 << ""
                                 << "txt_v"
                                 << "cmd_add" << Qt::LeftButton << "cmd_vset" << QStringList{"SV+"};
    QTest::newRow("V SET, right") << ""
                                  << ""
                                  << "txt_u"
                                  << "cmd_sub" << Qt::RightButton << "cmd_vset"
                                  << QStringList{"SV-"};
    QTest::newRow("+ % edit keeps the focus in its box")
        << "cmd_plus"
        << ""
        << "txt_plus"
        << "cmd_add" << Qt::MiddleButton << "txt_plus" << QStringList{};
    QTest::newRow("unknown target: the look only")
        << ""
        << "none"
        << "txt_v"
        << "cmd_sub" << Qt::LeftButton << "txt_v" << QStringList{};
}

void StepAdjustTest::pressedLookAndFocus() {
    QFETCH(QString, openKey);
    QFETCH(QString, target);
    QFETCH(QString, typeInto);
    QFETCH(QString, key);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QString, focus);
    QFETCH(QStringList, commands);

    SimPanel s;
    QVERIFY(s.Start({"--vset", "5", "--plus", "100"}));
    Form1& panel = s.panel();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    if (!openKey.isEmpty()) {
        Click(panel.findChild<QWidget*>(openKey));
    }
    if (!target.isEmpty()) {
        panel.EditTarget = target;
    }
    TypeInto(panel.findChild<QWidget*>(typeInto), "13");
    auto* image = panel.findChild<ImageKey*>(key);

    QTest::mousePress(image, button);
    QCOMPARE(image->BorderStyle(), 1);
    QCOMPARE(QApplication::focusWidget(), panel.findChild<QWidget*>(focus));
    QTest::mouseRelease(image, button);
    QCOMPARE(image->BorderStyle(), 0);

    QCOMPARE(s.Sent(), commands);
    if (openKey == "cmd_plus") {
        // The step works on the stored 100 and overwrites the typed text.
        QCOMPARE(panel.txt_plus->text(), QString("101"));
        QCOMPARE(panel.PlusPercent, 101.0f);
    }
}

QTEST_MAIN(StepAdjustTest)
#include "test_step_adjust.moc"
