// SPDX-License-Identifier: GPL-3.0-or-later
// The panel window as laid out at design time, its start-up state, and the
// enable groups that switch keys between the panel's modes.
#include "geometry.h"
#include "main_window.h"
#include "panel_checks.h"
#include "panel_harness.h"
#include "progress_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <map>

namespace {

const QStringList kAllSwitchable = {
    "cmd_plus", "cmd_normal", "cmd_minus",   "cmd_vset",   "cmd_rem",    "cmd_lock",  "cmd_ce",
    "cmd_n",    "cmd_f",      "cmd_vlimit",  "cmd_plimit", "cmd_ilimit", "cmd_enter", "cmd_output",
    "cmd_add",  "cmd_sub",    "frm_voltage", "frm_limit",  "cmd_v",      "cmd_u",     "cmd_i",
    "cmd_p",    "cmd_exit",   "txt_plus",    "txt_minus"};

// The control's own enabled state, whatever its frame says.
bool OwnEnabled(const QWidget* widget) {
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controls_data();
    void controls();
    void windowDesign();
    void initialState();
    void statusBar();
    void tabOrderAndFocus();
    void typingLimits_data();
    void typingLimits();
    void selectionEdits_data();
    void selectionEdits();
    void fixedSize();
    void enableGroups_data();
    void enableGroups();
    void lockStaysUntilPanelEnabled();
    void lockedSupplyAtConnection();
    void frameRule();
    void communicationErrorKeepsRemAndExit();
    void mouseButtons_data();
    void mouseButtons();
    void imageKeysFrameWhilePressed();
    void keyReleasedDuringItsHandler();
    void startupTick();
    void exitEndsTheProgram();
    void accessibleNames();
    void progressWindow();

private:
    QWidget* Control(const QString& name) const { return panel_->findChild<QWidget*>(name); }
    Form1* panel_ = nullptr;
};

void WindowTest::init() {
    PointComPorts({});
    panel_ = MakePanel().release();
    panel_->InitModelTable();
    panel_->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel_));
}

void WindowTest::cleanup() {
    delete panel_;
    panel_ = nullptr;
}

void WindowTest::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips"); // width 0: sized to its text
    QTest::addColumn<qreal>("points");

    struct Row {
        const char* name;
        const char* kind;
        const char* container;
        const char* caption;
        QRect twips;
        qreal points;
    };
    const Row rows[] = {
        {"frm_monitor", "QGroupBox", "Form1", "Monitor", {240, 90, 3615, 3345}, 9.75},
        {"frm_keypad", "QGroupBox", "Form1", "KeyPad", {4050, 90, 2955, 3345}, 9},
        {"frm_voltage", "QGroupBox", "Form1", "Output Voltage", {270, 3600, 1665, 705}, 9},
        {"frm_limit", "QGroupBox", "Form1", "Limit", {2220, 3600, 4815, 705}, 9},
        {"cmd_plus", "PanelKey", "frm_keypad", "+ %", {90, 270, 855, 495}, 9},
        {"cmd_normal", "PanelKey", "frm_keypad", "NORMAL", {1050, 270, 855, 495}, 8.25},
        {"cmd_minus", "PanelKey", "frm_keypad", "- %", {2010, 270, 855, 495}, 9},
        {"cmd_vset", "PanelKey", "frm_keypad", "V SET", {90, 885, 855, 495}, 8.25},
        {"cmd_rem", "PanelKey", "frm_keypad", "REM", {1050, 885, 855, 495}, 8.25},
        {"cmd_lock", "PanelKey", "frm_keypad", "LOCK", {2010, 885, 855, 495}, 8.25},
        {"cmd_ce", "PanelKey", "frm_keypad", "CE", {90, 1485, 855, 495}, 8.25},
        {"cmd_n", "PanelKey", "frm_keypad", "N", {1050, 1485, 855, 495}, 8.25},
        {"cmd_f", "PanelKey", "frm_keypad", "F", {2010, 1485, 855, 495}, 8.25},
        {"cmd_vlimit", "PanelKey", "frm_keypad", "V LIMIT", {90, 2100, 855, 495}, 8.25},
        {"cmd_plimit", "PanelKey", "frm_keypad", "P LIMIT", {1050, 2100, 855, 495}, 8.25},
        {"cmd_ilimit", "PanelKey", "frm_keypad", "I LIMIT", {2010, 2100, 855, 495}, 8.25},
        {"cmd_enter", "PanelKey", "frm_keypad", "ENTER", {90, 2730, 855, 495}, 8.25},
        {"cmd_output", "PanelKey", "frm_keypad", "OUTPUT", {1290, 2730, 1335, 495}, 8.25},
        {"dis_v", "QLabel", "frm_monitor", "", {150, 540, 855, 450}, 14.25},
        {"dis_i", "QLabel", "frm_monitor", "", {150, 1350, 855, 450}, 14.25},
        {"dis_p", "QLabel", "frm_monitor", "", {150, 2130, 855, 450}, 14.25},
        {"Label1", "QLabel", "frm_monitor", "V", {1080, 600, 0, 0}, 14.25},
        {"Label2", "QLabel", "frm_monitor", "A", {1080, 1440, 0, 0}, 14.25},
        {"Label3", "QLabel", "frm_monitor", "W", {1080, 2190, 0, 0}, 14.25},
        {"dis_lv", "QLabel", "frm_monitor", "", {2370, 630, 705, 375}, 12.75},
        {"dis_li", "QLabel", "frm_monitor", "", {2370, 1230, 705, 375}, 12.75},
        {"dis_lp", "QLabel", "frm_monitor", "", {2370, 1800, 705, 375}, 12.75},
        {"Label4", "QLabel", "frm_monitor", "V", {3150, 660, 0, 0}, 14.25},
        {"Label5", "QLabel", "frm_monitor", "A", {3150, 1260, 0, 0}, 14.25},
        {"Label6", "QLabel", "frm_monitor", "W", {3150, 1860, 0, 0}, 14.25},
        {"lbl_limit", "QLabel", "frm_monitor", "LIMITS", {2400, 240, 0, 0}, 9.75},
        {"lbl_fine", "QLabel", "frm_monitor", "fine", {1590, 300, 0, 0}, 9.75},
        {"lbl_u", "QLabel", "frm_monitor", "U-const", {1560, 720, 0, 0}, 9.75},
        {"lbl_i", "QLabel", "frm_monitor", "I-const", {1590, 1290, 0, 0}, 9.75},
        {"lbl_p", "QLabel", "frm_monitor", "P-const", {1560, 1890, 0, 0}, 9.75},
        {"lbl_overtemp", "QLabel", "frm_monitor", "overtemp", {2280, 2310, 0, 0}, 9.75},
        {"lbl_output", "QLabel", "frm_monitor", "output", {2400, 2580, 0, 0}, 9.75},
        {"lbl_remote", "QLabel", "frm_monitor", "remote", {120, 2880, 0, 0}, 9.75},
        {"lbl_lock", "QLabel", "frm_monitor", "locked", {1200, 2880, 0, 0}, 9.75},
        {"lbl_on", "QLabel", "frm_monitor", "On", {2340, 2880, 0, 0}, 9.75},
        {"lbl_off", "QLabel", "frm_monitor", "Off", {2760, 2880, 0, 0}, 9.75},
        {"txt_v", "EntryBox", "frm_voltage", "", {210, 240, 765, 390}, 12},
        {"cmd_v", "PanelKey", "frm_voltage", "V", {1050, 270, 405, 345}, 9.75},
        {"txt_u", "EntryBox", "frm_limit", "", {120, 240, 765, 390}, 12},
        {"cmd_u", "PanelKey", "frm_limit", "U", {960, 270, 405, 345}, 9.75},
        {"txt_i", "EntryBox", "frm_limit", "", {1740, 240, 765, 390}, 12},
        {"cmd_i", "PanelKey", "frm_limit", "I", {2565, 270, 405, 345}, 9.75},
        {"txt_p", "EntryBox", "frm_limit", "", {3360, 240, 765, 390}, 12},
        {"cmd_p", "PanelKey", "frm_limit", "P", {4170, 270, 405, 345}, 9.75},
        {"Label7", "QLabel", "Form1", "+%", {7080, 450, 0, 0}, 9.75},
        {"txt_plus", "EntryBox", "Form1", "", {7500, 420, 585, 375}, 11.25},
        {"Label8", "QLabel", "Form1", "-%", {7110, 1020, 0, 0}, 9.75},
        {"txt_minus", "EntryBox", "Form1", "", {7500, 990, 585, 375}, 11.25},
        {"lbl_cmd", "QLabel", "Form1", "VSET ", {7380, 1770, 840, 270}, 12},
        {"cmd_add", "ImageKey", "Form1", "", {7530, 2250, 570, 510}, 9},
        {"cmd_sub", "ImageKey", "Form1", "", {7530, 2820, 570, 510}, 9},
        {"cmd_exit", "QPushButton", "Form1", "EXIT", {7200, 3780, 1215, 495}, 9.75},
        {"SBar1", "QStatusBar", "Form1", "", {0, 4395, 8670, 375}, 9},
    };
    for (const Row& row : rows) {
        QTest::newRow(row.name) << row.name << row.kind << row.container << row.caption << row.twips
                                << row.points;
    }
}

void WindowTest::controls() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    QFETCH(qreal, points);

    QWidget* widget = Control(name);
    QVERIFY2(widget != nullptr, qPrintable(name));
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        QCOMPARE(button->text(), caption);
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        QCOMPARE(frame->title(), caption);
    } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        QCOMPARE(box->text(), caption);
    }
    QCOMPARE(widget->pos(), QPoint(Twips(twips.x()), Twips(twips.y())));
    if (twips.width() > 0) {
        QCOMPARE(widget->size(), QSize(Twips(twips.width()), Twips(twips.height())));
    } else {
        // Sized to its caption.
        QCOMPARE(widget->size(), widget->sizeHint());
    }
    QCOMPARE(widget->font().family(), QStringLiteral("Arial"));
    QCOMPARE(widget->font().pointSizeF(), points);
    QVERIFY(!widget->font().bold() && !widget->font().italic() && !widget->font().underline() &&
            !widget->font().strikeOut());
    QVERIFY(!HeardName(widget).isEmpty());
}

void WindowTest::windowDesign() {
    QCOMPARE(panel_->windowTitle(), QStringLiteral("ZRM Switching Power Supply"));
    QCOMPARE(panel_->size(), QSize(578, 318));
    QVERIFY(!panel_->windowIcon().isNull());
    QVERIFY(panel_->windowIcon().availableSizes().contains(QSize(32, 32)));
    QVERIFY(panel_->windowIcon().availableSizes().contains(QSize(72, 72)));
    QVERIFY(!panel_->cmd_add->pixmap().isNull());
    QVERIFY(panel_->cmd_add->hasScaledContents());
    QVERIFY(panel_->cmd_add->pixmap().toImage() != panel_->cmd_sub->pixmap().toImage());
    QCOMPARE(panel_->cmd_add->focusPolicy(), Qt::NoFocus);

    QCOMPARE(panel_->lbl_cmd->palette().color(QPalette::Window), QColor(0, 255, 0));
    QCOMPARE(panel_->lbl_cmd->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(panel_->lbl_cmd->alignment(), Qt::AlignCenter);
    QCOMPARE(panel_->dis_v->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(panel_->dis_v->alignment(), Qt::AlignCenter);
    QVERIFY(panel_->dis_v->frameShape() != QFrame::NoFrame);
    const QImage exit = panel_->cmd_exit->grab().toImage();
    QCOMPARE(exit.pixelColor(exit.width() / 2, 3), QColor(255, 0, 255));

    QCOMPARE(panel_->Timer2->interval(), 10);
    QCOMPARE(panel_->Timer3->interval(), 1000);
    QCOMPARE(panel_->tmr_flash->interval(), 500);
    QVERIFY(!panel_->MSComm1->isOpen());
}

void WindowTest::initialState() {
    for (const QString& name : kAllSwitchable) {
        const bool percentBox = name.startsWith(QLatin1String("txt_"));
        QCOMPARE(Control(name)->isEnabled(), !percentBox);
    }
    const char* const indicators[] = {"lbl_on", "lbl_off", "lbl_lock", "lbl_fine",  "lbl_overtemp",
                                      "lbl_u",  "lbl_i",   "lbl_p",    "lbl_remote"};
    for (const char* name : indicators) {
        QVERIFY2(Control(QLatin1String(name))->isVisible(), name);
    }
    QVERIFY(!panel_->Timer2->isActive());
    QVERIFY(!panel_->Timer3->isActive());
    QVERIFY(!panel_->tmr_flash->isActive());
    QCOMPARE(panel_->EditTarget, QStringLiteral("vset"));
    QCOMPARE(panel_->LongPressTime, 1.5);
    QCOMPARE(panel_->FormWidth, 578.0f);
    QCOMPARE(panel_->FormHeight, 318.0f);
    QCOMPARE(panel_->ModelIndex, std::int16_t(0));
    QCOMPARE(panel_->CommPort, 1);

    // The percent boxes cannot take the focus while disabled.
    QTest::mouseClick(panel_->txt_plus, Qt::LeftButton);
    QVERIFY(!panel_->txt_plus->hasFocus());
}

void WindowTest::statusBar() {
    const int widths[] = {5475, 1440, 1440};
    for (int panel = 1; panel <= 3; ++panel) {
        auto* label = panel_->SBar1->findChild<QLabel*>(QStringLiteral("SBar1_panel%1").arg(panel));
        QVERIFY(label != nullptr);
        QCOMPARE(label->width(), Twips(widths[panel - 1]));
    }
    QCOMPARE(panel_->StatusText(StatusPanel::Status), StatusPanel1::Finding);
    QCOMPARE(panel_->StatusText(StatusPanel::Model), QString());
    QCOMPARE(panel_->StatusText(StatusPanel::Port), QString());
    panel_->SetStatusText(StatusPanel::Model, QStringLiteral("ZRM-522"));
    QCOMPARE(panel_->StatusText(StatusPanel::Model), QStringLiteral("ZRM-522"));
}

void WindowTest::tabOrderAndFocus() {
    panel_->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), panel_->cmd_exit);
    const QStringList order = {"cmd_plus",   "cmd_normal", "cmd_minus", "cmd_rem",    "cmd_vset",
                               "cmd_lock",   "cmd_ce",     "cmd_n",     "cmd_f",      "cmd_vlimit",
                               "cmd_plimit", "cmd_ilimit", "cmd_enter", "cmd_output", "txt_v",
                               "cmd_v",      "txt_u",      "cmd_u",     "txt_i",      "cmd_i",
                               "txt_p",      "cmd_p",      "cmd_exit"};
    for (const QString& name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
}

void WindowTest::typingLimits_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written"); // by the program, first
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted"); // after the typing
    QTest::addColumn<QString>("kept");
    QTest::newRow("txt_v") << "txt_v"
                           << ""
                           << "12.3456"
                           << ""
                           << "12.34";
    QTest::newRow("txt_u") << "txt_u"
                           << ""
                           << "405"
                           << ""
                           << "40";
    QTest::newRow("txt_i") << "txt_i"
                           << ""
                           << "1.234"
                           << ""
                           << "1.23";
    QTest::newRow("txt_p") << "txt_p"
                           << ""
                           << "2100"
                           << ""
                           << "210";
    QTest::newRow("txt_plus") << "txt_plus"
                              << ""
                              << "1234"
                              << ""
                              << "123";
    QTest::newRow("txt_minus") << "txt_minus"
                               << ""
                               << "9999"
                               << ""
                               << "999";
    // A percent reply comes with its line feed, one more than a user may type:
    // it is kept whole, and nothing more goes in.
    QTest::newRow("txt_plus after a reply") << "txt_plus"
                                            << "110\n"
                                            << "5"
                                            << ""
                                            << "110\n";
    QTest::newRow("txt_minus after a reply, pasted into") << "txt_minus"
                                                          << "090\n"
                                                          << ""
                                                          << "1"
                                                          << "090\n";
    QTest::newRow("txt_u, a paste cut to the room left") << "txt_u"
                                                         << ""
                                                         << "4"
                                                         << "0123"
                                                         << "40";
    QTest::newRow("txt_v after a display text, paste cut") << "txt_v"
                                                           << "32.00"
                                                           << ""
                                                           << "5"
                                                           << "32.00";
}

void WindowTest::typingLimits() {
    QFETCH(QString, name);
    QFETCH(QString, written);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, kept);
    auto* box = qobject_cast<EntryBox*>(Control(name));
    box->setEnabled(true);
    box->setText(written);
    box->setFocus();
    QTest::keyClicks(box, typed);
    if (!pasted.isEmpty()) {
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    }
    QCOMPARE(box->text(), kept);
}

void WindowTest::selectionEdits_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written"); // by the program, first
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text"); // typed, pasted or dropped
    QTest::addColumn<QString>("kept");

    // A percent reply holds one character more than a user may type, its line feed.
    QTest::newRow("all pasted over") << "txt_plus"
                                     << "100\n"
                                     << "paste over all"
                                     << "12345"
                                     << "123";
    QTest::newRow("the line feed typed over") << "txt_plus"
                                              << "100\n"
                                              << "type over the end"
                                              << "5"
                                              << "100";
    QTest::newRow("all typed over") << "txt_minus"
                                    << "090\n"
                                    << "type over all"
                                    << "1234"
                                    << "123";
    QTest::newRow("a full box pasted over") << "txt_u"
                                            << "40"
                                            << "paste over all"
                                            << "123"
                                            << "12";
    QTest::newRow("a full box, its end typed over") << "txt_v"
                                                    << "32.00"
                                                    << "type over the end"
                                                    << "7"
                                                    << "32.07";
    QTest::newRow("dropped behind a reply") << "txt_plus"
                                            << "100\n"
                                            << "drop"
                                            << "55"
                                            << "100\n";
    QTest::newRow("dropped, cut to the room left") << "txt_i"
                                                   << "1"
                                                   << "drop"
                                                   << "2345"
                                                   << "1234";
    QTest::newRow("typing over a reply undone") << "txt_plus"
                                                << "100\n"
                                                << "undo"
                                                << "9"
                                                << "100";
    // Taking characters away is always allowed.
    QTest::newRow("a reply shortened") << "txt_plus"
                                       << "100\r\n"
                                       << "backspace"
                                       << ""
                                       << "100\r";
}

// Whatever the user does in a box, the text that results is never longer
// than a user may type, also when the program's own longer text was in it.
void WindowTest::selectionEdits() {
    QFETCH(QString, name);
    QFETCH(QString, written);
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    auto* box = qobject_cast<EntryBox*>(Control(name));
    box->setEnabled(true);
    box->setText(written);
    box->setFocus();

    if (edit == "paste over all") {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    } else if (edit == "type over all") {
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
    } else if (edit == "type over the end") {
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClick(box, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClicks(box, text);
    } else if (edit == "drop") {
        QMimeData data;
        data.setText(text);
        const QPoint end(box->width() - 2, box->height() / 2);
        QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
        QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &drop);
        QVERIFY(drop.isAccepted());
    } else if (edit == "undo") {
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
        QCOMPARE(box->text(), text);
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    } else if (edit == "backspace") {
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClick(box, Qt::Key_Backspace);
    }

    QCOMPARE(box->text(), kept);
}

void WindowTest::fixedSize() {
    panel_->resize(800, 600);
    QTRY_COMPARE(panel_->size(), QSize(578, 318));
    panel_->showMaximized();
    QTRY_COMPARE(panel_->size(), QSize(578, 318));
    panel_->showMinimized();
    panel_->showNormal();
    QTRY_COMPARE(panel_->size(), QSize(578, 318));
}

void WindowTest::enableGroups_data() {
    QTest::addColumn<QString>("procedure");
    QTest::addColumn<QStringList>("members");
    QTest::newRow("SetPanelEnabled")
        << "SetPanelEnabled"
        << QStringList{"cmd_plus",    "cmd_normal", "cmd_add",    "cmd_sub",   "cmd_minus",
                       "cmd_vset",    "cmd_rem",    "cmd_ce",     "cmd_n",     "cmd_f",
                       "cmd_vlimit",  "cmd_plimit", "cmd_ilimit", "cmd_enter", "cmd_output",
                       "frm_voltage", "frm_limit",  "cmd_v",      "cmd_u",     "cmd_i",
                       "cmd_p"};
    QTest::newRow("EnableGroupVLimit")
        << "EnableGroupVLimit"
        << QStringList{"cmd_plus", "cmd_normal", "cmd_minus",  "cmd_vset",    "cmd_rem",
                       "cmd_lock", "cmd_ilimit", "cmd_plimit", "frm_voltage", "frm_limit"};
    QTest::newRow("EnableGroupPLimit")
        << "EnableGroupPLimit"
        << QStringList{"cmd_plus", "cmd_normal", "cmd_minus",  "cmd_vset",    "cmd_rem",
                       "cmd_lock", "cmd_vlimit", "cmd_ilimit", "frm_voltage", "frm_limit"};
    QTest::newRow("EnableGroupILimit")
        << "EnableGroupILimit"
        << QStringList{"cmd_plus", "cmd_normal", "cmd_minus",  "cmd_vset",    "cmd_rem",
                       "cmd_lock", "cmd_vlimit", "cmd_plimit", "frm_voltage", "frm_limit"};
    QTest::newRow("EnableGroupEntry")
        << "EnableGroupEntry"
        << QStringList{"cmd_plus",   "cmd_normal",  "cmd_minus",  "cmd_vset",
                       "cmd_rem",    "cmd_lock",    "cmd_vlimit", "cmd_ilimit",
                       "cmd_plimit", "frm_voltage", "frm_limit"};
    QTest::newRow("EnableGroupConnect")
        << "EnableGroupConnect"
        << QStringList{"cmd_plus",   "cmd_normal", "cmd_minus",  "cmd_n",       "cmd_f",
                       "cmd_ce",     "cmd_output", "cmd_enter",  "cmd_vset",    "cmd_lock",
                       "cmd_vlimit", "cmd_ilimit", "cmd_plimit", "frm_voltage", "frm_limit",
                       "cmd_add",    "cmd_sub"};
    QTest::newRow("EnableGroupPercent")
        << "EnableGroupPercent"
        << QStringList{"cmd_vset",   "cmd_rem",    "cmd_ce",     "cmd_enter",
                       "cmd_vlimit", "cmd_ilimit", "cmd_plimit", "frm_voltage",
                       "frm_limit",  "cmd_add",    "cmd_sub"};
    QTest::newRow("EnableGroupEdit")
        << "EnableGroupEdit" << QStringList{"cmd_normal", "cmd_lock",   "cmd_vset",    "cmd_rem",
                                            "cmd_n",      "cmd_f",      "cmd_output",  "cmd_vlimit",
                                            "cmd_ilimit", "cmd_plimit", "frm_voltage", "frm_limit"};
}

void WindowTest::enableGroups() {
    QFETCH(QString, procedure);
    QFETCH(QStringList, members);
    const std::map<QString, void (Form1::*)(bool)> procedures = {
        {"SetPanelEnabled", &Form1::SetPanelEnabled},
        {"EnableGroupVLimit", &Form1::EnableGroupVLimit},
        {"EnableGroupPLimit", &Form1::EnableGroupPLimit},
        {"EnableGroupILimit", &Form1::EnableGroupILimit},
        {"EnableGroupEntry", &Form1::EnableGroupEntry},
        {"EnableGroupConnect", &Form1::EnableGroupConnect},
        {"EnableGroupPercent", &Form1::EnableGroupPercent},
        {"EnableGroupEdit", &Form1::EnableGroupEdit},
    };
    const auto call = procedures.at(procedure);
    for (bool value : {false, true}) {
        for (const QString& name : kAllSwitchable) {
            Control(name)->setEnabled(!value);
        }
        (panel_->*call)(value);
        // A second call with the same value changes nothing.
        (panel_->*call)(value);
        for (const QString& name : kAllSwitchable) {
            const bool expected = members.contains(name) ? value : !value;
            QVERIFY2(OwnEnabled(Control(name)) == expected,
                     qPrintable(QStringLiteral("%1(%2): %3").arg(procedure).arg(value).arg(name)));
        }
    }
}

void WindowTest::lockStaysUntilPanelEnabled() {
    panel_->SetPanelEnabled(false);
    QVERIFY(panel_->lbl_lock->isVisible());
    panel_->EnableGroupConnect(true);
    panel_->EnableGroupEntry(true);
    QVERIFY(panel_->cmd_vset->isEnabled());
    QVERIFY(panel_->lbl_lock->isVisible());
    panel_->SetPanelEnabled(true);
    QVERIFY(!panel_->lbl_lock->isVisible());
}

void WindowTest::lockedSupplyAtConnection() {
    // A supply that reports its keys locked: the collection locks the panel,
    // then the connection enables its group.
    panel_->SetPanelEnabled(false);
    panel_->EnableGroupConnect(true);
    QVERIFY(panel_->lbl_lock->isVisible());
    const QStringList connectGroup = {
        "cmd_plus",   "cmd_normal",  "cmd_minus", "cmd_n",    "cmd_f",      "cmd_ce",
        "cmd_output", "cmd_enter",   "cmd_vset",  "cmd_lock", "cmd_vlimit", "cmd_ilimit",
        "cmd_plimit", "frm_voltage", "frm_limit", "cmd_add",  "cmd_sub"};
    for (const QString& name : connectGroup) {
        QVERIFY2(OwnEnabled(Control(name)), qPrintable(name));
    }
    for (const char* name : {"cmd_rem", "cmd_v", "cmd_u", "cmd_i", "cmd_p"}) {
        QVERIFY2(!Control(QLatin1String(name))->isEnabled(), name);
    }
}

void WindowTest::frameRule() {
    panel_->cmd_u->setEnabled(false);
    panel_->frm_limit->setEnabled(false);
    QVERIFY(!panel_->cmd_i->isEnabled());
    QVERIFY(!panel_->txt_i->isEnabled());
    QVERIFY(OwnEnabled(panel_->cmd_i));
    panel_->frm_limit->setEnabled(true);
    QVERIFY(panel_->cmd_i->isEnabled());
    QVERIFY(panel_->txt_i->isEnabled());
    // A control disabled on its own stays disabled when its frame comes back.
    QVERIFY(!panel_->cmd_u->isEnabled());
}

void WindowTest::communicationErrorKeepsRemAndExit() {
    MessageBoxCloser boxes;
    panel_->txt_plus->setEnabled(true);
    panel_->ReportCommunicationError();
    QVERIFY(panel_->cmd_rem->isEnabled());
    QVERIFY(panel_->cmd_exit->isEnabled());
    QVERIFY(panel_->txt_plus->isEnabled());
    QVERIFY(!panel_->txt_v->isEnabled());
    QVERIFY(!panel_->cmd_p->isEnabled());

    // Locked by LOCK before the error: the connect group takes LOCK too, and
    // REM, which the lock had disabled, is given back to connect again.
    panel_->SetPanelEnabled(false);
    panel_->ReportCommunicationError();
    QVERIFY(panel_->cmd_rem->isEnabled());
    QVERIFY(!panel_->cmd_lock->isEnabled());
    QVERIFY(panel_->cmd_exit->isEnabled());
    QCOMPARE(boxes.Count(), 2);
}

void WindowTest::mouseButtons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("downs");
    QTest::newRow("key left") << "cmd_vset" << Qt::LeftButton << 1;
    QTest::newRow("key right") << "cmd_vset" << Qt::RightButton << 0;
    QTest::newRow("key middle") << "cmd_output" << Qt::MiddleButton << 0;
    QTest::newRow("entry key right") << "cmd_v" << Qt::RightButton << 0;
    QTest::newRow("up left") << "cmd_add" << Qt::LeftButton << 1;
    QTest::newRow("up right") << "cmd_add" << Qt::RightButton << 1;
    QTest::newRow("down middle") << "cmd_sub" << Qt::MiddleButton << 1;
}

void WindowTest::mouseButtons() {
    QFETCH(QString, name);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, downs);
    QWidget* key = Control(name);
    QSignalSpy down(key, SIGNAL(MouseDown()));
    QSignalSpy up(key, SIGNAL(MouseUp()));
    QTest::mousePress(key, button);
    QTest::mouseRelease(key, button);
    QCOMPARE(down.count(), downs);
    QCOMPARE(up.count(), downs);
}

void WindowTest::imageKeysFrameWhilePressed() {
    panel_->EditTarget = QStringLiteral("none");
    for (ImageKey* key : {panel_->cmd_add, panel_->cmd_sub}) {
        QCOMPARE(key->BorderStyle(), 0);
        QTest::mousePress(key, Qt::RightButton);
        QCOMPARE(key->BorderStyle(), 1);
        QTest::mouseRelease(key, Qt::RightButton);
        QCOMPARE(key->BorderStyle(), 0);
    }
}

// A handler that waits (REM, ENTER's percent stepping) lets the release
// through; the key must not stay drawn pressed.
void WindowTest::keyReleasedDuringItsHandler() {
    PanelKey key(QStringLiteral("KEY"), panel_);
    key.show();
    bool released = false;
    connect(&key, &PanelKey::MouseDown, this, [&] {
        QTimer::singleShot(0, &key, [&] { QTest::mouseRelease(&key, Qt::LeftButton); });
        released = QTest::qWaitFor([&] { return !key.isDown(); }, 5000);
    });
    QTest::mousePress(&key, Qt::LeftButton);
    QVERIFY(released);
    QVERIFY(!key.isDown());
}

void WindowTest::startupTick() {
    MessageBoxCloser boxes;
    Form1 panel;
    QVERIFY(panel.Form1_Load());
    QVERIFY(panel.Timer2->isActive());
    QCOMPARE(panel.Timer2->interval(), 10);
    panel.show();
    // The tick runs once: it stops its timer before it connects.
    QTRY_VERIFY(!panel.Timer2->isActive());
    QTRY_VERIFY(panel.Connecting == kFalse);
    QVERIFY(!panel.Timer2->isActive());
    QVERIFY(panel.isVisible());
}

void WindowTest::exitEndsTheProgram() {
    EndProgramRecorder end;
    QTest::mousePress(panel_->cmd_exit, Qt::LeftButton);
    QCOMPARE(EndProgramRecorder::Count(), 0);
    QTest::mouseRelease(panel_->cmd_exit, Qt::LeftButton);
    QCOMPARE(EndProgramRecorder::Count(), 1);
}

void WindowTest::accessibleNames() {
    const std::pair<const char*, const char*> names[] = {
        {"dis_v", "Output voltage"}, {"dis_i", "Measured current"},
        {"dis_p", "Measured power"}, {"dis_lv", "Voltage limit"},
        {"dis_li", "Current limit"}, {"dis_lp", "Power limit"},
        {"cmd_output", "OUTPUT"},    {"cmd_add", "Up"},
        {"cmd_sub", "Down"},         {"lbl_cmd", "Edit target"},
        {"cmd_plus", "+ %"},         {"cmd_exit", "EXIT"},
    };
    // A reading's name goes on with what it shows.
    for (const auto& [name, accessible] : names) {
        const QString heard = HeardName(Control(QLatin1String(name)));
        QVERIFY2(heard.startsWith(QLatin1String(accessible)), qPrintable(heard));
    }
    for (QWidget* widget : panel_->findChildren<QWidget*>()) {
        if (!widget->objectName().isEmpty() &&
            !widget->objectName().startsWith(QLatin1String("qt_"))) {
            QVERIFY2(!HeardName(widget).isEmpty(), qPrintable(widget->objectName()));
        }
    }
}

void WindowTest::progressWindow() {
    auto* window = new Form2(panel_);
    window->show();
    window->Form2_Load();
    QCOMPARE(window->windowTitle(), QStringLiteral("Inquiry about ZRM"));
    QCOMPARE(window->size(), QSize(Twips(8115), Twips(2925)));
    QCOMPARE(window->dispini->text(), ProgressText::Start);
    QCOMPARE(window->dispini->font().pointSizeF(), 20.25);
    // Sized to each caption, centred where it was designed, inside the window.
    const QPoint centre = TwipsRect(2910, 750, 2325, 480).center();
    for (const QString& caption : {QString(ProgressText::Scanning), QString(ProgressText::Start)}) {
        QCOMPARE(window->dispini->size(), window->dispini->sizeHint());
        QVERIFY(qAbs(window->dispini->geometry().center().x() - centre.x()) <= 1);
        QVERIFY(window->rect().contains(window->dispini->geometry()));
        window->ShowCaption(caption);
    }
    QCOMPARE(window->PBar1->geometry(), TwipsRect(600, 1890, 6705, 345));
    QCOMPARE(window->frameGeometry().left(), panel_->frameGeometry().left());
    QVERIFY(window->isWindow());
    QCOMPARE(window->parentWidget(), panel_);
    window->close();
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
