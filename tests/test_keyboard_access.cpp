// SPDX-License-Identifier: GPL-3.0-or-later
// The panel from the keyboard alone and through assistive technology, against
// the simulated supply: Space on the keys, Ctrl+Enter in the entry boxes, the
// arrow keys, the "Press" action and the readings that a screen reader hears.
#include "panel_checks.h"
#include "sim_panel.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

namespace {

QWidget* Control(Form1& panel, const QString& name) {
    return panel.findChild<QWidget*>(name);
}

// The Space key going down on the key, with `repeats` auto-repeat pairs while it is held.
void SpaceDown(QWidget* key, int repeats) {
    QTest::keyPress(key, Qt::Key_Space);
    for (int i = 0; i < repeats; ++i) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                          true);
        QApplication::sendEvent(key, &release);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(key, &press);
    }
}

} // namespace

class KeyboardAccessTest : public QObject {
    Q_OBJECT
private slots:
    void spaceOnKeys_data();
    void spaceOnKeys();
    void ctrlEnterInBoxes_data();
    void ctrlEnterInBoxes();
    void arrowKeys_data();
    void arrowKeys();
    void pressAction_data();
    void pressAction();
    void readingsHeard_data();
    void readingsHeard();
};

void KeyboardAccessTest::spaceOnKeys_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<float>("hold"); // seconds; 0 for a tap
    QTest::addColumn<int>("repeats");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<bool>("locked");

    const QStringList none;
    QTest::newRow("OUTPUT tapped") << "cmd_output" << 0.0f << 0 << QStringList{"KO"} << false;
    QTest::newRow("OUTPUT held, auto-repeating")
        << "cmd_output" << 0.0f << 5 << QStringList{"KO"} << false;
    // LOCK locks as it goes down; only a long press unlocks on the way up.
    QTest::newRow("LOCK held 1.5 s") << "cmd_lock" << 1.5f << 3 << none << false;
    QTest::newRow("LOCK held 1.0 s") << "cmd_lock" << 1.0f << 3 << none << true;
    QTest::newRow("V LIMIT held 1.5 s") << "cmd_vlimit" << 1.5f << 0 << QStringList{"SUM"} << false;
    QTest::newRow("V LIMIT held 1.0 s") << "cmd_vlimit" << 1.0f << 0 << none << false;
}

void KeyboardAccessTest::spaceOnKeys() {
    QFETCH(QString, key);
    QFETCH(float, hold);
    QFETCH(int, repeats);
    QFETCH(QStringList, sent);
    QFETCH(bool, locked);
    SimPanel s;
    QVERIFY(s.Start({}));
    Form1& panel = s.panel();
    QVERIFY(ActivatePanel(panel));
    QWidget* pressed = Control(panel, key);
    pressed->setFocus(Qt::TabFocusReason);

    PressAndHold(
        panel, hold, [&] { SpaceDown(pressed, repeats); },
        [&] { QTest::keyRelease(pressed, Qt::Key_Space); });

    QCOMPARE(s.Sent(), sent);
    QCOMPARE(panel.Locked, locked ? 1 : 0);
    QCOMPARE(panel.cmd_output->isEnabled(), !locked);
    QCOMPARE(QApplication::focusWidget(), pressed);
}

void KeyboardAccessTest::ctrlEnterInBoxes_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("enter");
    QTest::addColumn<bool>("control");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("boxAfter");

    QTest::newRow("Ctrl+Return in V")
        << "txt_v"
        << "7.5" << int(Qt::Key_Return) << true << QStringList{"SV 07.50"} << "";
    QTest::newRow("Ctrl+Enter in U")
        << "txt_u"
        << "12" << int(Qt::Key_Enter) << true << QStringList{"SU 12"} << "";
    QTest::newRow("Ctrl+Return in I")
        << "txt_i"
        << "2.5" << int(Qt::Key_Return) << true << QStringList{"SI 2.50"} << "";
    QTest::newRow("Ctrl+Return in P")
        << "txt_p"
        << "95" << int(Qt::Key_Return) << true << QStringList{"SP 095", "I"} << "";
    // Plain Enter only brings the text into range, as it always did.
    QTest::newRow("Return in U") << "txt_u"
                                 << "99" << int(Qt::Key_Return) << false << QStringList{} << "40";
}

void KeyboardAccessTest::ctrlEnterInBoxes() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(int, enter);
    QFETCH(bool, control);
    QFETCH(QStringList, sent);
    QFETCH(QString, boxAfter);
    SimPanel s;
    QVERIFY(s.Start({}));
    Form1& panel = s.panel();
    QVERIFY(ActivatePanel(panel));
    auto* entry = qobject_cast<EntryBox*>(Control(panel, box));
    TypeInto(entry, typed);

    const auto key = static_cast<Qt::Key>(enter);
    QTest::keyPress(entry, key, control ? Qt::ControlModifier : Qt::NoModifier);
    // Ctrl comes up first: the Enter release alone must not range the empty box.
    QTest::keyRelease(entry, key);

    QCOMPARE(s.Sent(), sent);
    QTRY_COMPARE(entry->text(), boxAfter);
    QCOMPARE(QApplication::focusWidget(), entry);
}

void KeyboardAccessTest::arrowKeys_data() {
    QTest::addColumn<QString>("pressedFirst"); // a key clicked first, or empty
    QTest::addColumn<int>("arrow");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("focusAfter");
    QTest::addColumn<QString>("box"); // a percent box and what it shows after, or empty
    QTest::addColumn<QString>("boxAfter");

    const QStringList none;
    // In the idle target the press moves the focus to V SET, as a click does.
    QTest::newRow("Up, idle") << "" << int(Qt::Key_Up) << QStringList{"SV+"} << "cmd_vset"
                              << ""
                              << "";
    QTest::newRow("Down, idle") << "" << int(Qt::Key_Down) << QStringList{"SV-"} << "cmd_vset"
                                << ""
                                << "";
    QTest::newRow("Up in the plus percent edit")
        << "cmd_plus" << int(Qt::Key_Up) << none << "txt_plus"
        << "txt_plus"
        << "101";
    QTest::newRow("Down in the minus percent edit")
        << "cmd_minus" << int(Qt::Key_Down) << none << "txt_minus"
        << "txt_minus"
        << "99";
    QTest::newRow("Up, locked") << "cmd_lock" << int(Qt::Key_Up) << none << "cmd_lock"
                                << ""
                                << "";
}

void KeyboardAccessTest::arrowKeys() {
    QFETCH(QString, pressedFirst);
    QFETCH(int, arrow);
    QFETCH(QStringList, sent);
    QFETCH(QString, focusAfter);
    QFETCH(QString, box);
    QFETCH(QString, boxAfter);
    SimPanel s;
    QVERIFY(s.Start({}));
    Form1& panel = s.panel();
    QVERIFY(ActivatePanel(panel));
    panel.cmd_exit->setFocus();
    if (!pressedFirst.isEmpty()) {
        Click(Control(panel, pressedFirst));
        QCOMPARE(s.Sent(), QStringList{});
    }

    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(arrow));

    QCOMPARE(s.Sent(), sent);
    QCOMPARE(QApplication::focusWidget(), Control(panel, focusAfter));
    if (!box.isEmpty()) {
        QCOMPARE(qobject_cast<QLineEdit*>(Control(panel, box))->text(), boxAfter);
    }
    QCOMPARE(panel.cmd_add->BorderStyle(), 0);
    QCOMPARE(panel.cmd_sub->BorderStyle(), 0);
}

void KeyboardAccessTest::pressAction_data() {
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("sent");

    QTest::newRow("OUTPUT") << false << "cmd_output"
                            << "OUTPUT" << QStringList{"KO"};
    QTest::newRow("N") << false << "cmd_n"
                       << "N" << QStringList{"KN"};
    QTest::newRow("up key") << false << "cmd_add"
                            << "Up" << QStringList{"SV+"};
    QTest::newRow("down key") << false << "cmd_sub"
                              << "Down" << QStringList{"SV-"};
    QTest::newRow("OUTPUT, locked") << true << "cmd_output"
                                    << "OUTPUT" << QStringList{};
    QTest::newRow("up key, locked") << true << "cmd_add"
                                    << "Up" << QStringList{};
}

void KeyboardAccessTest::pressAction() {
    QFETCH(bool, locked);
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(QStringList, sent);
    SimPanel s;
    QVERIFY(s.Start({}));
    if (locked) {
        Click(s.panel().cmd_lock);
    }
    QAccessibleInterface* accessible =
        QAccessible::queryAccessibleInterface(Control(s.panel(), key));
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->role(), QAccessible::Button);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(bool(accessible->state().disabled), locked);
    QAccessibleActionInterface* actions = accessible->actionInterface();
    QVERIFY(actions != nullptr);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));

    actions->doAction(QAccessibleActionInterface::pressAction());

    QCOMPARE(s.Sent(), sent);
    QVERIFY(!accessible->state().pressed);
}

void KeyboardAccessTest::readingsHeard_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("meaning");
    QTest::addColumn<QString>("unit");

    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"dis_v", "Output voltage", "volts"},
        {"dis_i", "Measured current", "amperes"},
        {"dis_p", "Measured power", "watts"},
        {"dis_lv", "Voltage limit", "volts"},
        {"dis_li", "Current limit", "amperes"},
        {"dis_lp", "Power limit", "watts"},
        {"Label1", "volts", ""},
        {"Label5", "amperes", ""},
        {"lbl_u", "Constant voltage", ""},
        {"lbl_on", "Output on", ""},
        {"lbl_cmd", "Edit target", ""},
        {"txt_plus", "Plus percent offset", "percent"},
        {"txt_minus", "Minus percent offset", "percent"},
        {"SBar1_panel1", "Status", ""},
        {"SBar1_panel2", "Model", ""},
        {"SBar1_panel3", "Port", ""},
    };
    for (const auto& [control, meaning, unit] : rows) {
        QTest::newRow(control) << control << meaning << unit;
    }
}

void KeyboardAccessTest::readingsHeard() {
    QFETCH(QString, control);
    QFETCH(QString, meaning);
    QFETCH(QString, unit);
    SimPanel s;
    QVERIFY(s.Start({"--output-on", "--vset", "7.5", "--load-ohms", "5"}));
    QVERIFY(WaitForPolls(s.sim(), PollCount(s.sim()), 1));

    QWidget* widget = Control(s.panel(), control);
    const auto* label = qobject_cast<QLabel*>(widget);
    const QString shown =
        (label != nullptr ? label->text() : qobject_cast<QLineEdit*>(widget)->text()).trimmed();
    QVERIFY(!shown.isEmpty());
    QString heard = meaning + ' ' + shown;
    if (!unit.isEmpty()) {
        heard += ' ' + unit;
    }
    QCOMPARE(HeardName(widget), heard);
    QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description),
             meaning);
}

QTEST_MAIN(KeyboardAccessTest)
#include "test_keyboard_access.moc"
