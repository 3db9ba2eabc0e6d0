// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "panel_texts.h"
#include "wire_trace.h"

#include "geometry.h"
#include "pictures.h"
#include "progress_window.h"
#include "wire_trace.h"

#include <QMessageBox>
#include <QStatusBar>
#include <cstdio>
#include <cstdlib>

namespace {

// The object name of the lost-link box, by which the panel finds it open.
const QLatin1String kLostLinkBoxName("lostLinkBox");

QFont ArialFont(qreal points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    return font;
}

template <typename T> T* Named(T* widget, const char* name, const QString& accessibleName) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(accessibleName);
    return widget;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* frame = Named(new QGroupBox(caption, parent), name, caption);
    frame->setGeometry(geometry);
    return frame;
}

PanelKey* MakeKey(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                  qreal points) {
    auto* key = Named(new PanelKey(caption, parent), name, caption);
    key->setGeometry(geometry);
    key->setFont(ArialFont(points));
    return key;
}

// A keypad key at its column (0 to 2) and row (0 to 4).
PanelKey* MakeKeypadKey(QWidget* parent, const char* name, const QString& caption, int column,
                        int row) {
    static const int kColumnX[] = {90, 1050, 2010};
    static const int kRowY[] = {270, 885, 1485, 2100, 2730};
    return MakeKey(parent, name, caption, TwipsRect(kColumnX[column], kRowY[row], 855, 495), 8.25);
}

// A numeric display: white, framed, centred text.
QLabel* MakeDisplay(QWidget* parent, const char* name, const QString& accessibleName,
                    QRect geometry, qreal points) {
    auto* label = Named(new QLabel(parent), name, accessibleName);
    label->setGeometry(geometry);
    label->setFont(ArialFont(points));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    return label;
}

// A label that sizes itself to its caption.
QLabel* MakeCaption(QWidget* parent, const char* name, const QString& caption,
                    const QString& accessibleName, int left, int top, qreal points) {
    auto* label = Named(new QLabel(caption, parent), name, accessibleName);
    label->move(Twips(left), Twips(top));
    label->setFont(ArialFont(points));
    label->adjustSize();
    return label;
}

EntryBox* MakeBox(QWidget* parent, const char* name, const QString& accessibleName, int maxChars,
                  QRect geometry, qreal points) {
    auto* box = Named(new EntryBox(maxChars, parent), name, accessibleName);
    box->setGeometry(geometry);
    box->setFont(ArialFont(points));
    return box;
}

// "SBar1_panel1" to "SBar1_panel3".
QString StatusPanelName(StatusPanel panel) {
    return QStringLiteral("SBar1_panel%1").arg(static_cast<int>(panel));
}

QTimer* MakeTimer(QObject* parent, const char* name, int interval) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(interval);
    return timer;
}

} // namespace

void (*Form1::EndProgram)() = [] { std::_Exit(0); };

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ZRM Switching Power Supply"));
    setWindowIcon(AppIcon());
    setFont(ArialFont(9));
    setFixedSize(Twips(8670), Twips(4770));
    BuildControls();
    ConnectEvents();
}

Form1::~Form1() {
    // Destroying the window closes it, which moves the focus out of an entry
    // box; no handler may then run on a window whose state is already gone.
    for (QObject* child : findChildren<QObject*>()) {
        child->disconnect(this);
    }
}

void Form1::BuildControls() {
    frm_monitor =
        MakeFrame(this, "frm_monitor", QStringLiteral("Monitor"), TwipsRect(240, 90, 3615, 3345));
    frm_monitor->setFont(ArialFont(9.75));
    frm_keypad =
        MakeFrame(this, "frm_keypad", QStringLiteral("KeyPad"), TwipsRect(4050, 90, 2955, 3345));
    frm_voltage = MakeFrame(this, "frm_voltage", QStringLiteral("Output Voltage"),
                            TwipsRect(270, 3600, 1665, 705));
    frm_limit =
        MakeFrame(this, "frm_limit", QStringLiteral("Limit"), TwipsRect(2220, 3600, 4815, 705));

    // Keypad, in tab order.
    QWidget* k = frm_keypad;
    cmd_plus = MakeKeypadKey(k, "cmd_plus", QStringLiteral("+ %"), 0, 0);
    cmd_plus->setFont(font());
    cmd_normal = MakeKeypadKey(k, "cmd_normal", QStringLiteral("NORMAL"), 1, 0);
    cmd_minus = MakeKeypadKey(k, "cmd_minus", QStringLiteral("- %"), 2, 0);
    cmd_minus->setFont(font());
    cmd_rem = MakeKeypadKey(k, "cmd_rem", QStringLiteral("REM"), 1, 1);
    cmd_vset = MakeKeypadKey(k, "cmd_vset", QStringLiteral("V SET"), 0, 1);
    cmd_lock = MakeKeypadKey(k, "cmd_lock", QStringLiteral("LOCK"), 2, 1);
    cmd_ce = MakeKeypadKey(k, "cmd_ce", QStringLiteral("CE"), 0, 2);
    cmd_n = MakeKeypadKey(k, "cmd_n", QStringLiteral("N"), 1, 2);
    cmd_f = MakeKeypadKey(k, "cmd_f", QStringLiteral("F"), 2, 2);
    cmd_vlimit = MakeKeypadKey(k, "cmd_vlimit", QStringLiteral("V LIMIT"), 0, 3);
    cmd_plimit = MakeKeypadKey(k, "cmd_plimit", QStringLiteral("P LIMIT"), 1, 3);
    cmd_ilimit = MakeKeypadKey(k, "cmd_ilimit", QStringLiteral("I LIMIT"), 2, 3);
    cmd_enter = MakeKeypadKey(k, "cmd_enter", QStringLiteral("ENTER"), 0, 4);
    cmd_output =
        MakeKey(k, "cmd_output", QStringLiteral("OUTPUT"), TwipsRect(1290, 2730, 1335, 495), 8.25);

    // Monitor: measured values on the left, limits on the right.
    QWidget* m = frm_monitor;
    dis_v = MakeDisplay(m, "dis_v", QStringLiteral("Output voltage"), TwipsRect(150, 540, 855, 450),
                        14.25);
    dis_i = MakeDisplay(m, "dis_i", QStringLiteral("Measured current"),
                        TwipsRect(150, 1350, 855, 450), 14.25);
    dis_p = MakeDisplay(m, "dis_p", QStringLiteral("Measured power"),
                        TwipsRect(150, 2130, 855, 450), 14.25);
    Label1 =
        MakeCaption(m, "Label1", QStringLiteral("V"), QStringLiteral("volts"), 1080, 600, 14.25);
    Label2 =
        MakeCaption(m, "Label2", QStringLiteral("A"), QStringLiteral("amperes"), 1080, 1440, 14.25);
    Label3 =
        MakeCaption(m, "Label3", QStringLiteral("W"), QStringLiteral("watts"), 1080, 2190, 14.25);
    dis_lv = MakeDisplay(m, "dis_lv", QStringLiteral("Voltage limit"),
                         TwipsRect(2370, 630, 705, 375), 12.75);
    dis_li = MakeDisplay(m, "dis_li", QStringLiteral("Current limit"),
                         TwipsRect(2370, 1230, 705, 375), 12.75);
    dis_lp = MakeDisplay(m, "dis_lp", QStringLiteral("Power limit"),
                         TwipsRect(2370, 1800, 705, 375), 12.75);
    Label4 =
        MakeCaption(m, "Label4", QStringLiteral("V"), QStringLiteral("volts"), 3150, 660, 14.25);
    Label5 =
        MakeCaption(m, "Label5", QStringLiteral("A"), QStringLiteral("amperes"), 3150, 1260, 14.25);
    Label6 =
        MakeCaption(m, "Label6", QStringLiteral("W"), QStringLiteral("watts"), 3150, 1860, 14.25);
    lbl_limit = MakeCaption(m, "lbl_limit", QStringLiteral("LIMITS"), QStringLiteral("Limits"),
                            2400, 240, 9.75);
    lbl_fine = MakeCaption(m, "lbl_fine", QStringLiteral("fine"), QStringLiteral("Fine step size"),
                           1590, 300, 9.75);
    lbl_u = MakeCaption(m, "lbl_u", QStringLiteral("U-const"), QStringLiteral("Constant voltage"),
                        1560, 720, 9.75);
    lbl_i = MakeCaption(m, "lbl_i", QStringLiteral("I-const"), QStringLiteral("Constant current"),
                        1590, 1290, 9.75);
    lbl_p = MakeCaption(m, "lbl_p", QStringLiteral("P-const"), QStringLiteral("Constant power"),
                        1560, 1890, 9.75);
    lbl_overtemp = MakeCaption(m, "lbl_overtemp", QStringLiteral("overtemp"),
                               QStringLiteral("Over-temperature"), 2280, 2310, 9.75);
    lbl_output = MakeCaption(m, "lbl_output", QStringLiteral("output"), QStringLiteral("Output"),
                             2400, 2580, 9.75);
    lbl_remote = MakeCaption(m, "lbl_remote", QStringLiteral("remote"),
                             QStringLiteral("Remote control"), 120, 2880, 9.75);
    lbl_lock = MakeCaption(m, "lbl_lock", QStringLiteral("locked"), QStringLiteral("Panel locked"),
                           1200, 2880, 9.75);
    lbl_on = MakeCaption(m, "lbl_on", QStringLiteral("On"), QStringLiteral("Output on"), 2340, 2880,
                         9.75);
    lbl_off = MakeCaption(m, "lbl_off", QStringLiteral("Off"), QStringLiteral("Output off"), 2760,
                          2880, 9.75);

    // Entry pairs of the bottom row.
    txt_v = MakeBox(frm_voltage, "txt_v", QStringLiteral("Output voltage entry"), 5,
                    TwipsRect(210, 240, 765, 390), 12);
    cmd_v =
        MakeKey(frm_voltage, "cmd_v", QStringLiteral("V"), TwipsRect(1050, 270, 405, 345), 9.75);
    txt_u = MakeBox(frm_limit, "txt_u", QStringLiteral("Voltage limit entry"), 2,
                    TwipsRect(120, 240, 765, 390), 12);
    cmd_u = MakeKey(frm_limit, "cmd_u", QStringLiteral("U"), TwipsRect(960, 270, 405, 345), 9.75);
    txt_i = MakeBox(frm_limit, "txt_i", QStringLiteral("Current limit entry"), 4,
                    TwipsRect(1740, 240, 765, 390), 12);
    cmd_i = MakeKey(frm_limit, "cmd_i", QStringLiteral("I"), TwipsRect(2565, 270, 405, 345), 9.75);
    txt_p = MakeBox(frm_limit, "txt_p", QStringLiteral("Power limit entry"), 3,
                    TwipsRect(3360, 240, 765, 390), 12);
    cmd_p = MakeKey(frm_limit, "cmd_p", QStringLiteral("P"), TwipsRect(4170, 270, 405, 345), 9.75);

    // Right-hand column.
    Label7 = MakeCaption(this, "Label7", QStringLiteral("+%"), QStringLiteral("Plus percent"), 7080,
                         450, 9.75);
    txt_plus = MakeBox(this, "txt_plus", QStringLiteral("Plus percent offset"), 3,
                       TwipsRect(7500, 420, 585, 375), 11.25);
    txt_plus->setEnabled(false);
    Label8 = MakeCaption(this, "Label8", QStringLiteral("-%"), QStringLiteral("Minus percent"),
                         7110, 1020, 9.75);
    txt_minus = MakeBox(this, "txt_minus", QStringLiteral("Minus percent offset"), 3,
                        TwipsRect(7500, 990, 585, 375), 11.25);
    txt_minus->setEnabled(false);
    lbl_cmd =
        Named(new QLabel(TargetCaption::AtStart, this), "lbl_cmd", QStringLiteral("Edit target"));
    lbl_cmd->setGeometry(TwipsRect(7380, 1770, 840, 270));
    lbl_cmd->setFont(ArialFont(12));
    lbl_cmd->setAlignment(Qt::AlignCenter);
    lbl_cmd->setAutoFillBackground(true);
    QPalette green = lbl_cmd->palette();
    green.setColor(QPalette::Window, QColor(0, 255, 0));
    green.setColor(QPalette::WindowText, Qt::black);
    lbl_cmd->setPalette(green);
    cmd_add = Named(new ImageKey(ArrowPicture(true), this), "cmd_add", QStringLiteral("Up"));
    cmd_add->setGeometry(TwipsRect(7530, 2250, 570, 510));
    cmd_sub = Named(new ImageKey(ArrowPicture(false), this), "cmd_sub", QStringLiteral("Down"));
    cmd_sub->setGeometry(TwipsRect(7530, 2820, 570, 510));
    cmd_exit =
        Named(new QPushButton(QStringLiteral("EXIT"), this), "cmd_exit", QStringLiteral("EXIT"));
    cmd_exit->setGeometry(TwipsRect(7200, 3780, 1215, 495));
    cmd_exit->setFont(ArialFont(9.75));
    TakeFocusOnLeftPressOnly(cmd_exit);
    cmd_exit->setStyleSheet(
        QStringLiteral("QPushButton { background-color: rgb(255, 0, 255); border: 1px solid gray; }"
                       "QPushButton:pressed { border: 2px inset gray; }"));

    // Status bar with its three panels.
    SBar1 = Named(new QStatusBar(this), "SBar1", QStringLiteral("Status bar"));
    SBar1->setSizeGripEnabled(false);
    SBar1->setGeometry(TwipsRect(0, 4395, 8670, 375));
    static const struct {
        StatusPanel panel;
        const char* name;
        int width;
    } kPanels[] = {
        {StatusPanel::Status, "Status", 5475},
        {StatusPanel::Model, "Model", 1440},
        {StatusPanel::Port, "Port", 1440},
    };
    for (const auto& [panel, name, width] : kPanels) {
        auto* label = new QLabel(SBar1);
        label->setObjectName(StatusPanelName(panel));
        label->setAccessibleName(QLatin1String(name));
        label->setFixedWidth(Twips(width));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        SBar1->addWidget(label);
    }
    SetStatusText(StatusPanel::Status, StatusPanel1::Finding);

    Timer2 = MakeTimer(this, "Timer2", 10);
    Timer3 = MakeTimer(this, "Timer3", 1000);
    tmr_flash = MakeTimer(this, "tmr_flash", 500);
    tmr_drain = MakeTimer(this, "tmr_drain", 0);
    tmr_drain->setSingleShot(true);

    MSComm1 = new QSerialPort(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    // EXIT first, so it holds the focus when the window opens.
    QWidget* const tabOrder[] = {cmd_exit,   cmd_plus,   cmd_normal, cmd_minus, cmd_rem,
                                 cmd_vset,   cmd_lock,   cmd_ce,     cmd_n,     cmd_f,
                                 cmd_vlimit, cmd_plimit, cmd_ilimit, cmd_enter, cmd_output,
                                 txt_v,      cmd_v,      txt_u,      cmd_u,     txt_i,
                                 cmd_i,      txt_p,      cmd_p,      txt_plus,  txt_minus};
    for (size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    cmd_exit->setFocus();
}

void Form1::ConnectEvents() {
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    connect(tmr_flash, &QTimer::timeout, this, &Form1::tmr_flash_Timer);
    connect(tmr_drain, &QTimer::timeout, this, &Form1::WatchLineDrain);
    connect(MSComm1, &QSerialPort::bytesWritten, this, &Form1::WatchLineDrain);
    connect(cmd_exit, &QPushButton::clicked, this, &Form1::cmd_exit_Click);

    const std::pair<PanelKey*, void (Form1::*)()> presses[] = {
        {cmd_v, &Form1::cmd_v_MouseDown},           {cmd_u, &Form1::cmd_u_MouseDown},
        {cmd_i, &Form1::cmd_i_MouseDown},           {cmd_p, &Form1::cmd_p_MouseDown},
        {cmd_enter, &Form1::cmd_enter_MouseDown},   {cmd_ce, &Form1::cmd_ce_MouseDown},
        {cmd_vset, &Form1::cmd_vset_MouseDown},     {cmd_vlimit, &Form1::cmd_vlimit_MouseDown},
        {cmd_ilimit, &Form1::cmd_ilimit_MouseDown}, {cmd_plimit, &Form1::cmd_plimit_MouseDown},
        {cmd_plus, &Form1::cmd_plus_MouseDown},     {cmd_minus, &Form1::cmd_minus_MouseDown},
        {cmd_normal, &Form1::cmd_normal_MouseDown}, {cmd_output, &Form1::cmd_output_MouseDown},
        {cmd_lock, &Form1::cmd_lock_MouseDown},     {cmd_rem, &Form1::cmd_rem_MouseDown},
        {cmd_n, &Form1::cmd_n_MouseDown},           {cmd_f, &Form1::cmd_f_MouseDown},
    };
    for (const auto& [key, handler] : presses) {
        connect(key, &PanelKey::MouseDown, this, [this, handler = handler] {
            RunKeyAction([this, handler] { (this->*handler)(); });
        });
    }
    const std::pair<PanelKey*, void (Form1::*)()> releases[] = {
        {cmd_vlimit, &Form1::cmd_vlimit_MouseUp},
        {cmd_ilimit, &Form1::cmd_ilimit_MouseUp},
        {cmd_plimit, &Form1::cmd_plimit_MouseUp},
        {cmd_lock, &Form1::cmd_lock_MouseUp},
    };
    for (const auto& [key, handler] : releases) {
        connect(key, &PanelKey::MouseUp, this, [this, key = key, handler = handler] {
            // When it came up, also for a release that waits.
            const float released = key->ReleaseTime();
            RunKeyAction([this, handler, released] {
                KeyReleaseTime = released;
                (this->*handler)();
            });
        });
    }
    const std::tuple<ImageKey*, void (Form1::*)(), void (Form1::*)()> images[] = {
        {cmd_add, &Form1::cmd_add_MouseDown, &Form1::cmd_add_MouseUp},
        {cmd_sub, &Form1::cmd_sub_MouseDown, &Form1::cmd_sub_MouseUp},
    };
    for (const auto& [key, down, up] : images) {
        connect(key, &ImageKey::MouseDown, this,
                [this, down = down] { RunKeyAction([this, down] { (this->*down)(); }); });
        connect(key, &ImageKey::MouseUp, this,
                [this, up = up] { RunKeyAction([this, up] { (this->*up)(); }); });
    }

    // The release of the Enter key in a box brings its value into range; every
    // other key is ignored.
    const std::tuple<EntryBox*, void (Form1::*)(), void (Form1::*)()> boxes[] = {
        {txt_v, &Form1::ValidateVoltageSetEntry, &Form1::txt_v_LostFocus},
        {txt_u, &Form1::ValidateVoltageLimitEntry, &Form1::txt_u_LostFocus},
        {txt_i, &Form1::ValidateCurrentLimitEntry, &Form1::txt_i_LostFocus},
        {txt_p, &Form1::ValidatePowerLimitEntry, &Form1::txt_p_LostFocus},
        {txt_plus, &Form1::ValidatePlusPercent, &Form1::txt_plus_LostFocus},
        {txt_minus, &Form1::ValidateMinusPercent, &Form1::txt_minus_LostFocus},
    };
    // They wait with the keys (RunKeyAction): a box left for a key that waits
    // is emptied only after that key has read it.
    for (const auto& [box, validate, lostFocus] : boxes) {
        connect(box, &EntryBox::KeyUp, this, [this, validate = validate](int key) {
            if (key == kEnterKey) {
                RunKeyAction([this, validate] { (this->*validate)(); });
            }
        });
        connect(box, &EntryBox::LostFocus, this, [this, lostFocus = lostFocus] {
            RunKeyAction([this, lostFocus] { (this->*lostFocus)(); });
        });
    }
}

QLabel* Form1::StatusPanelLabel(StatusPanel panel) const {
    return SBar1->findChild<QLabel*>(StatusPanelName(panel));
}

void Form1::SetStatusText(StatusPanel panel, const QString& text) {
    QLabel* label = StatusPanelLabel(panel);
    if (label->text() == text) {
        return;
    }
    label->setText(text);
    // In the trace, so that a trace shows where the connection got to.
    qCDebug(lcLink).noquote() << TraceMs() << "status" << static_cast<int>(panel) << text;
}

void Form1::SetStatusToolTip(StatusPanel panel, const QString& text) {
    StatusPanelLabel(panel)->setToolTip(text);
}

QString Form1::StatusText(StatusPanel panel) const {
    return StatusPanelLabel(panel)->text();
}

void Form1::ShowMessage(const QString& text, const QString& title, const QString& details,
                        QMessageBox::Icon icon) {
    if (Headless) {
        const QString said = details.isEmpty() ? text : text + u'\n' + details;
        qCDebug(lcLink).noquote() << TraceMs() << "message" << title << "-" << said;
        std::fprintf(stderr, "zrm-panel: %s: %s\n", qPrintable(title), qPrintable(said));
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    if (!details.isEmpty()) {
        box.setDetailedText(details);
    }
    box.exec();
}

void Form1::ReportCommunicationError(const QString& details) {
    ShowMessage(MessageText::CommunicationError, MessageText::CommunicationErrorTitle, details);
    ShowCommunicationError();
}

void Form1::ReportLostLink() {
    // First, so that what others held of the keys is theirs again before the
    // connect group goes off.
    emit LinkLostReported();
    // A box after every failed poll would leave a keyboard or screen-reader
    // user no time to reach REM between them.
    if (!LostLinkReported && Headless) {
        ShowMessage(MessageText::CommunicationError, MessageText::CommunicationErrorTitle);
    } else if (!LostLinkReported && !LostLinkBoxOpen()) {
        auto* box = new QMessageBox(QMessageBox::NoIcon, MessageText::CommunicationErrorTitle,
                                    MessageText::CommunicationError, QMessageBox::Ok, this);
        box->setObjectName(kLostLinkBoxName);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // Modal to the panel, but no nested wait: the caller, often the poll,
        // goes on at once.
        box->open();
    }
    LostLinkReported = true;
    ShowCommunicationError();
}

bool Form1::LostLinkBoxOpen() const {
    const auto* box = findChild<QMessageBox*>(kLostLinkBoxName, Qt::FindDirectChildrenOnly);
    return box != nullptr && box->isVisible();
}

void Form1::ShowCommunicationError() {
    LinkLost = true;
    SetStatusText(StatusPanel::Status, StatusPanel1::CommunicationError);
    EnableGroupConnect(false);
    // REM is the way back to the supply, also when an open edit or the lock
    // had disabled it: without it only EXIT would be left.
    cmd_rem->setEnabled(true);
}
