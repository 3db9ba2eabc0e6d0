// SPDX-License-Identifier: GPL-3.0-or-later
// The panel from the keyboard alone and through assistive technology, against
// the simulated supply: keys held as X11 repeats them, Ctrl+Enter in the entry
// boxes, the arrow keys, the "Press" action and what a screen reader hears of
// the readings and the keys.
#include "panel_checks.h"
#include "sim_panel.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <QTest>

namespace {

QWidget* Control(Form1& panel, const QString& name) {
    return panel.findChild<QWidget*>(name);
}

} // namespace

class KeyboardAccessTest : public QObject {
    Q_OBJECT
private slots:
    void heldKeys_data();
    void heldKeys();
    void ctrlEnterInBoxes_data();
    void ctrlEnterInBoxes();
    void arrowKeys_data();
    void arrowKeys();
    void arrowsKeepTypedText_data();
    void arrowsKeepTypedText();
    void pressAction_data();
    void pressAction();
    void switchStates_data();
    void switchStates();
    void keysDescribed();
    void readingsHeard_data();
    void readingsHeard();
};

void KeyboardAccessTest::heldKeys_data() {
    QTest::addColumn<QString>("focus"); // the control that gets the key
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>(
        "marked"); // the repeats marked as such, or not, as X11 mostly sends them
    QTest::addColumn<bool>("stamped"); // with timestamps, or none
    QTest::addColumn<float>("hold");   // seconds from the first press to the release
    QTest::addColumn<int>("times");    // holds in a row
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<bool>("locked");

    const QStringList none;
    const int space = Qt::Key_Space;
    const QStringList ko{"KO"};
    // LOCK locks as it goes down; only a long press unlocks on the way up.
    QTest::newRow("Space on OUTPUT")
        << "cmd_output" << space << false << true << 1.5f << 1 << ko << false;
    QTest::newRow("Space on OUTPUT, marked")
        << "cmd_output" << space << true << true << 1.5f << 1 << ko << false;
    QTest::newRow("Space on OUTPUT, no timestamps")
        << "cmd_output" << space << false << false << 1.5f << 1 << ko << false;
    QTest::newRow("Space on OUTPUT twice")
        << "cmd_output" << space << false << true << 0.1f << 2 << QStringList{"KO", "KO"} << false;
    QTest::newRow("Space on OUTPUT twice, no timestamps")
        << "cmd_output" << space << false << false << 0.1f << 2 << QStringList{"KO", "KO"} << false;
    QTest::newRow("Space on LOCK, 2 s")
        << "cmd_lock" << space << false << true << 2.0f << 1 << none << false;
    QTest::newRow("Space on LOCK, 2 s, marked")
        << "cmd_lock" << space << true << true << 2.0f << 1 << none << false;
    QTest::newRow("Space on LOCK, 2 s, no timestamps")
        << "cmd_lock" << space << false << false << 2.0f << 1 << none << false;
    QTest::newRow("Space on LOCK, 1 s")
        << "cmd_lock" << space << false << true << 1.0f << 1 << none << true;
    // The power key reads the current limit back as it goes down (the output is off).
    QTest::newRow("Space on P LIMIT, 2 s")
        << "cmd_plimit" << space << false << true << 2.0f << 1 << QStringList{"I", "SPM"} << false;
    QTest::newRow("Space on P LIMIT, 2 s, marked")
        << "cmd_plimit" << space << true << true << 2.0f << 1 << QStringList{"I", "SPM"} << false;
    QTest::newRow("Space on V LIMIT, 1 s")
        << "cmd_vlimit" << space << false << true << 1.0f << 1 << none << false;
    QTest::newRow("Enter on OUTPUT")
        << "cmd_output" << int(Qt::Key_Return) << false << true << 1.5f << 1 << ko << false;
    QTest::newRow("Enter on LOCK, 1 s")
        << "cmd_lock" << int(Qt::Key_Enter) << false << true << 1.0f << 1 << none << true;
    QTest::newRow("Up") << "cmd_exit" << int(Qt::Key_Up) << false << true << 1.5f << 1
                        << QStringList{"SV+"} << false;
    QTest::newRow("Up, marked") << "cmd_exit" << int(Qt::Key_Up) << true << true << 1.5f << 1
                                << QStringList{"SV+"} << false;
}

// A key held down acts once as it goes down and once as it comes up, however
// X11 repeats it; the hold is measured from the first press to the release.
void KeyboardAccessTest::heldKeys() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, marked);
    QFETCH(bool, stamped);
    QFETCH(float, hold);
    QFETCH(int, times);
    QFETCH(QStringList, sent);
    QFETCH(bool, locked);
    SimPanel s;
    QVERIFY(s.Start({}));
    Form1& panel = s.panel();
    QVERIFY(ActivatePanel(panel));
    Control(panel, focus)->setFocus(Qt::TabFocusReason);
    // The repeats of the hold, after X11's first delay.
    const int repeats = std::max(0, static_cast<int>((hold - 0.66f) / 0.04f));

    for (int i = 0; i < times; ++i) {
        // The press time goes back at once, instead of holding the key that long.
        HoldKey(
            &panel, static_cast<Qt::Key>(key), repeats, marked,
            [&] { panel.KeyPressTime = TimeOfDay() - hold; }, Qt::NoModifier, stamped);
        QTRY_VERIFY(KeysUp(panel));
    }

    QCOMPARE(s.Sent(), sent);
    QCOMPARE(panel.Locked, locked ? 1 : 0);
    QCOMPARE(panel.cmd_output->isEnabled(), !locked);
}

void KeyboardAccessTest::ctrlEnterInBoxes_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("enter");
    QTest::addColumn<bool>("control");
    QTest::addColumn<int>("repeats"); // X11's unmarked repeats while it is held
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("boxAfter");

    QTest::newRow("Ctrl+Return in V")
        << "txt_v"
        << "7.5" << int(Qt::Key_Return) << true << 0 << QStringList{"SV 07.50"} << "";
    QTest::newRow("Ctrl+Enter in U")
        << "txt_u"
        << "12" << int(Qt::Key_Enter) << true << 0 << QStringList{"SU 12"} << "";
    QTest::newRow("Ctrl+Return in I")
        << "txt_i"
        << "2.5" << int(Qt::Key_Return) << true << 0 << QStringList{"SI 2.50"} << "";
    QTest::newRow("Ctrl+Return in P")
        << "txt_p"
        << "95" << int(Qt::Key_Return) << true << 0 << QStringList{"SP 095", "I"} << "";
    QTest::newRow("Ctrl+Return held in V")
        << "txt_v"
        << "7.5" << int(Qt::Key_Return) << true << 20 << QStringList{"SV 07.50"} << "";
    // Plain Enter only brings the text into range, as it always did.
    QTest::newRow("Return in U") << "txt_u"
                                 << "99" << int(Qt::Key_Return) << false << 0 << QStringList{}
                                 << "40";
}

void KeyboardAccessTest::ctrlEnterInBoxes() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(int, enter);
    QFETCH(bool, control);
    QFETCH(int, repeats);
    QFETCH(QStringList, sent);
    QFETCH(QString, boxAfter);
    SimPanel s;
    QVERIFY(s.Start({}));
    Form1& panel = s.panel();
    QVERIFY(ActivatePanel(panel));
    auto* entry = qobject_cast<EntryBox*>(Control(panel, box));
    TypeInto(entry, typed);

    // Ctrl comes up first: the Enter release alone must not range the empty box.
    HoldKey(&panel, static_cast<Qt::Key>(enter), repeats, false, {},
            control ? Qt::ControlModifier : Qt::NoModifier);
    QTRY_VERIFY(KeysUp(panel));

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

    HoldKey(&panel, static_cast<Qt::Key>(arrow), 0, false);
    QTRY_VERIFY(KeysUp(panel));

    QCOMPARE(s.Sent(), sent);
    QCOMPARE(QApplication::focusWidget(), Control(panel, focusAfter));
    if (!box.isEmpty()) {
        QCOMPARE(qobject_cast<QLineEdit*>(Control(panel, box))->text(), boxAfter);
    }
}

void KeyboardAccessTest::arrowsKeepTypedText_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("arrow");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("focusAfter");

    const QStringList none;
    QTest::newRow("Up in V") << "txt_v"
                             << "12" << int(Qt::Key_Up) << none << "txt_v";
    QTest::newRow("Up in U") << "txt_u"
                             << "12" << int(Qt::Key_Up) << none << "txt_u";
    QTest::newRow("Down in I") << "txt_i"
                               << "1.5" << int(Qt::Key_Down) << none << "txt_i";
    QTest::newRow("Up in P") << "txt_p"
                             << "95" << int(Qt::Key_Up) << none << "txt_p";
    // An empty box has nothing to lose: the step goes on as from any control.
    QTest::newRow("Up in an empty U") << "txt_u"
                                      << "" << int(Qt::Key_Up) << QStringList{"SV+"} << "cmd_vset";
}

// While a box of the bottom row holds what the user typed, the arrow keys
// leave the set-point and the text alone.
void KeyboardAccessTest::arrowsKeepTypedText() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(int, arrow);
    QFETCH(QStringList, sent);
    QFETCH(QString, focusAfter);
    SimPanel s;
    QVERIFY(s.Start({}));
    Form1& panel = s.panel();
    QVERIFY(ActivatePanel(panel));
    auto* entry = qobject_cast<EntryBox*>(Control(panel, box));
    TypeInto(entry, typed);
    const QString shown = panel.dis_v->text();

    HoldKey(&panel, static_cast<Qt::Key>(arrow), 0, false);
    QTRY_VERIFY(KeysUp(panel));
    QCoreApplication::processEvents();

    QCOMPARE(s.Sent(), sent);
    QCOMPARE(entry->text(), typed);
    QCOMPARE(QApplication::focusWidget(), Control(panel, focusAfter));
    QCOMPARE(panel.dis_v->text() == shown, sent.isEmpty());
}

void KeyboardAccessTest::pressAction_data() {
    QTest::addColumn<QString>("before"); // "lock", "lost link", "dialog" or nothing
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("sent");

    const QStringList none;
    QTest::newRow("OUTPUT") << ""
                            << "cmd_output"
                            << "OUTPUT" << QStringList{"KO"};
    QTest::newRow("N") << ""
                       << "cmd_n"
                       << "N" << QStringList{"KN"};
    QTest::newRow("up key") << ""
                            << "cmd_add"
                            << "Up" << QStringList{"SV+"};
    QTest::newRow("down key") << ""
                              << "cmd_sub"
                              << "Down" << QStringList{"SV-"};
    QTest::newRow("OUTPUT, locked") << "lock"
                                    << "cmd_output"
                                    << "OUTPUT" << none;
    QTest::newRow("up key, locked") << "lock"
                                    << "cmd_add"
                                    << "Up" << none;
    // REM is enabled behind the lost-link box, for when it is closed.
    QTest::newRow("REM behind the lost-link box") << "lost link"
                                                  << "cmd_rem"
                                                  << "REM" << none;
    QTest::newRow("OUTPUT behind a modal window") << "dialog"
                                                  << "cmd_output"
                                                  << "OUTPUT" << none;
    QTest::newRow("up key behind a modal window") << "dialog"
                                                  << "cmd_add"
                                                  << "Up" << none;
}

// The "Press" action of assistive technology: one press and release, run from
// the event loop after the call has returned, and none while the key is
// disabled or a modal window of the program is open.
void KeyboardAccessTest::pressAction() {
    QFETCH(QString, before);
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(QStringList, sent);
    SimPanel s;
    QVERIFY(s.Start({}));
    Form1& panel = s.panel();
    s.boxes().KeepOpen(true);
    QDialog dialog(&panel);
    if (before == "lock") {
        Click(panel.cmd_lock);
    } else if (before == "lost link") {
        panel.ReportLostLink();
    } else if (before == "dialog") {
        dialog.open();
    }
    QWidget* pressed = Control(panel, key);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(pressed);
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->role(), QAccessible::Button);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(bool(accessible->state().disabled), before == "lock");
    QAccessibleActionInterface* actions = accessible->actionInterface();
    QVERIFY(actions != nullptr);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    QSignalSpy downs(pressed, SIGNAL(MouseDown()));

    actions->doAction(QAccessibleActionInterface::pressAction());

    QCOMPARE(downs.count(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(downs.count(), sent.isEmpty() ? 0 : 1);
    QCOMPARE(s.Sent(), sent);
    QVERIFY(!accessible->state().pressed);
    s.boxes().KeepOpen(false);
}

void KeyboardAccessTest::switchStates_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("control"); // a control line that changes the supply, or empty
    QTest::addColumn<QString>("pressed"); // a key clicked then, or empty
    QTest::addColumn<QStringList>("on");  // the switching keys heard as checked at the end

    const QStringList none;
    QTest::newRow("output off, normal steps") << none << ""
                                              << "" << QStringList{"cmd_n"};
    QTest::newRow("output on, fine steps, locked")
        << QStringList{"--output-on", "--fine", "--locked"} << ""
        << "" << QStringList{"cmd_output", "cmd_lock", "cmd_f"};
    QTest::newRow("OUTPUT pressed") << none << ""
                                    << "cmd_output" << QStringList{"cmd_output", "cmd_n"};
    QTest::newRow("F pressed") << none << ""
                               << "cmd_f" << QStringList{"cmd_f"};
    QTest::newRow("LOCK pressed") << none << ""
                                  << "cmd_lock" << QStringList{"cmd_lock", "cmd_n"};
    // The supply's own keys lock it; REM reads that back.
    QTest::newRow("REM after the supply was locked")
        << none << "locked 1"
        << "cmd_rem" << QStringList{"cmd_lock", "cmd_n"};
}

// OUTPUT, LOCK, N and F are heard as checked or not, as the supply's state is.
void KeyboardAccessTest::switchStates() {
    QFETCH(QStringList, args);
    QFETCH(QString, control);
    QFETCH(QString, pressed);
    QFETCH(QStringList, on);
    SimPanel s;
    QVERIFY(s.Start(args));
    Form1& panel = s.panel();
    if (!control.isEmpty()) {
        s.sim().Control(control);
    }
    if (!pressed.isEmpty()) {
        Click(Control(panel, pressed));
    }

    QStringList heard;
    for (const char* key : {"cmd_output", "cmd_lock", "cmd_n", "cmd_f"}) {
        const QAccessible::State state =
            QAccessible::queryAccessibleInterface(Control(panel, key))->state();
        QVERIFY(state.checkable);
        if (state.checked) {
            heard << key;
        }
    }
    QCOMPARE(heard, on);
}

// Every key says what it does, the same as its tooltip, with the long press
// and Ctrl+Enter where they apply.
void KeyboardAccessTest::keysDescribed() {
    const WatchedPanel watched;
    Form1& panel = *watched.panel;
    const std::pair<const char*, const char*> mentions[] = {
        {"cmd_lock", "1.5 seconds"},   {"cmd_vlimit", "1.5 seconds"},
        {"cmd_ilimit", "1.5 seconds"}, {"cmd_plimit", "1.5 seconds"},
        {"cmd_v", "Ctrl+Enter"},       {"cmd_u", "Ctrl+Enter"},
        {"cmd_i", "Ctrl+Enter"},       {"cmd_p", "Ctrl+Enter"},
        {"txt_v", "Ctrl+Enter"},       {"cmd_add", "Up"},
        {"cmd_sub", "Down"},
    };
    for (const auto& [name, mention] : mentions) {
        QVERIFY2(Control(panel, name)->toolTip().contains(QLatin1String(mention)), name);
    }
    for (QWidget* key : panel.findChildren<QWidget*>()) {
        if (qobject_cast<PanelKey*>(key) || qobject_cast<ImageKey*>(key) || key == panel.cmd_exit) {
            const QString description =
                QAccessible::queryAccessibleInterface(key)->text(QAccessible::Description);
            QVERIFY2(!description.isEmpty(), qPrintable(key->objectName()));
            QCOMPARE(key->toolTip(), description);
        }
    }
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
