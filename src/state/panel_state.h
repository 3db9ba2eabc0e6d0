// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's window state, the fixed tables of the three supply models and
// the number operations that read and write every value on the panel.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <utility>

class QLabel;
class QWidget;

// Flags hold -1 for true and 0 for false; the supply's state digits hold 1 or 0.
using Flag = std::int16_t;
constexpr Flag kTrue = -1;
constexpr Flag kFalse = 0;

constexpr int kModelCount = 3;

// Whether index names a row of the model table.
constexpr bool IsModelRow(int index) {
    return index >= 0 && index < kModelCount;
}

// The edit targets: what the up and down keys, ENTER and CE act on.
namespace EditTargets {
inline constexpr QStringView VoltageSet = u"vset"; // idle: the output voltage
inline constexpr QStringView VoltageLimit = u"vlimit";
inline constexpr QStringView CurrentLimit = u"ilimit";
inline constexpr QStringView PowerLimit = u"plimit";
inline constexpr QStringView PlusPercent = u"plus";   // edited with the output off
inline constexpr QStringView MinusPercent = u"minus"; // edited with the output off
} // namespace EditTargets

// "plus" or "minus": an edit of a percent offset.
inline bool IsPercentTarget(QStringView target) {
    return target == EditTargets::PlusPercent || target == EditTargets::MinusPercent;
}

// The digit pattern each display writes its value with (see FormatWithPattern);
// the set commands send their values in the same patterns.
namespace DisplayPattern {
inline constexpr QStringView VoltageSet = u"00.00";  // dis_v, volts
inline constexpr QStringView VoltageLimit = u"00";   // dis_lv, whole volts
inline constexpr QStringView CurrentLimit = u"0.00"; // dis_li, amperes
inline constexpr QStringView PowerLimit = u"000";    // dis_lp, whole watts
inline constexpr QStringView Percent = u"000";       // txt_plus, txt_minus after CE
} // namespace DisplayPattern

// The supply sets its current limit this far above the power limit over the
// voltage limit, in amperes: the headroom that keeps the power limit in charge.
inline constexpr double kCurrentHeadroom = 0.03;

// The ranges of the two percent offsets, in points.
inline constexpr int kPlusPercentLow = 100;
inline constexpr int kPlusPercentHigh = 150;
inline constexpr int kMinusPercentLow = 50;
inline constexpr int kMinusPercentHigh = 100;

// Every member of the main window that outlives one event. Values that the
// keys step and compare are single precision: their bound tests depend on it.
// "Read back" below means taken from the supply's replies by the connection
// (ConnectSupply, CollectSupplyData) or the monitor poll (PollMonitor).
struct PanelState {
    float VoltageSet = 0;   // V, output set-point (dis_v); entry, steps, percent keys; read back
    float VoltageLimit = 0; // V, voltage limit (dis_lv); entry, steps, limit keys, CE; read back
    float CurrentLimit = 0; // A, current limit (dis_li); entry, steps, limit keys, CE; read back
    float PowerLimit = 0;   // W, power limit (dis_lp); entry, steps, limit keys, CE; read back
    float PlusPercent = 0;  // %, plus offset (txt_plus); percent keys, ENTER/CE; read back
    float MinusPercent = 0; // %, minus offset (txt_minus); percent keys, ENTER/CE; read back

    std::int16_t OutputOn = 0; // supply digit 1/0: output on; read back, OUTPUT toggles it
    std::int16_t OverTemp = 0; // supply digit 1/0: over-temperature; read back only
    std::int16_t FineMode = 0; // supply digit 1/0, also the step-table row; read back, N and F
    std::int16_t Locked = 0;   // supply digit 1/0: soft panel locked; read back, LOCK

    QString EditTarget;   // one of EditTargets; limit, percent, entry keys, ENTER/CE/V SET, REM
    float EditOrigin = 0; // value of the open edit when opened or last accepted; CE restores it
    QLabel* FlashControl = nullptr;      // indicator that tmr_flash blinks; set by the limit keys
    QWidget* ActivePercentKey = nullptr; // percent key applied last; NORMAL enables it again
    float KeyPressTime = 0;              // s since midnight of the last LOCK or limit-key press
    float KeyReleaseTime = 0;            // s since midnight that key came up (its real release)
    double LongPressTime = 0;            // s, least hold of a long press (1.5); set at start

    std::int16_t ModelIndex = 0;    // row of the model table of the connected supply; connection
    QString ModelName[kModelCount]; // model table, filled at start
    float ModelMaxVoltage[kModelCount] = {}; // V, the maximum "U" reports after "SUM"
    float ModelMaxCurrent[kModelCount] = {}; // A
    float ModelMaxPower[kModelCount] = {};   // W

    float VoltageStep[2] = {}; // V per step, indexed by FineMode: {1.0, 0.01}
    float CurrentStep[2] = {}; // A per step, indexed by FineMode: {0.1, 0.01}

    Flag ReplyPending = kFalse;    // a reply is awaited or the last one timed out; ReadReply
    Flag Connecting = kFalse;      // a connection runs; ConnectSupply
    std::int16_t TimeoutCount = 0; // reply timeouts since the last status line; ReadReply, poll
    QString MonitorReply;          // the last status-line reply; connection and poll
    int CommPort = 1;              // COM1..COM4 that OpenPort opens; set only while it is closed
    QStringList ComPortDevices;    // the devices of COM1 to COM4, chosen anew at each scan
    bool Polling = false;          // a poll waits for its reply; a tick meanwhile is skipped
    bool Reconnecting = false;     // REM waits or connects; a second REM meanwhile is ignored
    // This loss of the link has had its box: no other until a poll is answered
    // again or REM is pressed.
    bool LostLinkReported = false;
    int Waits = 0;         // reply waits and pauses under way, nested ones counted
    bool LinkLost = true;  // no supply answers: none found yet, or the lost-link report came;
                           // cleared by a connection that finds one
    bool Headless = false; // no window: what a message box would say goes to standard error

    // The up and down keys wait for a current-limit read-back (a power step or
    // P LIMIT with the output off); their presses meanwhile, +1 up and -1
    // down, oldest first, are carried out after it.
    bool StepKeysHeld = false;
    QList<int> HeldSteps;

    // Remote control carries out a command that talks to the supply: the
    // keys' presses and releases meanwhile wait, and are carried out right
    // after it in order, each with the time of day it came at.
    bool KeysHeld = false;
    QList<std::pair<float, std::function<void()>>> HeldKeyActions;
    float KeyActionTime = 0; // s since midnight: when the press or release being handled came

    float FormWidth = 0;  // device-independent pixels, the window size at load
    float FormHeight = 0; // (the resize handler keeps it)

    // Fills the model table, the step tables and the start values.
    void FillTables();
};

// The blanks of a number: space, tab and line feed.
bool IsNumberBlank(QChar c);

// The double value of the decimal number at the start of text; blanks anywhere
// are skipped, 'E' or 'D' start an exponent, and a text without a number gives 0.
double LeadingNumber(QStringView text);

// LeadingNumber in single precision, the panel's type for every value; a
// number beyond its range ("1E99") gives the largest single instead.
float SingleNumber(QStringView text);

// value written after a pattern of '0' digits with at most one '.': leading
// zeros up to the digits before the point, exactly the digits after it,
// rounded half away from zero.
QString FormatWithPattern(double value, QStringView pattern);

// The largest whole number not greater than value.
double IntegerPart(double value);

// Time of day in seconds since midnight, with fractions.
float TimeOfDay();
