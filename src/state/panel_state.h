// The panel's window state, the fixed tables of the three supply models and
// the number operations that read and write every value on the panel.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

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

// Every member of the main window that outlives one event. Values that the
// keys step and compare are single precision: their bound tests depend on it.
struct PanelState {
    float VoltageSet = 0;
    float VoltageLimit = 0;
    float CurrentLimit = 0;
    float PowerLimit = 0;
    float PlusPercent = 0;
    float MinusPercent = 0;

    std::int16_t OutputOn = 0;
    std::int16_t OverTemp = 0;
    std::int16_t FineMode = 0;
    std::int16_t Locked = 0;

    QString EditTarget;
    float EditOrigin = 0;
    QLabel* FlashControl = nullptr;
    QWidget* ActivePercentKey = nullptr;
    float KeyPressTime = 0;
    double LongPressTime = 0;

    std::int16_t ModelIndex = 0;
    QString ModelName[kModelCount];
    float ModelMaxVoltage[kModelCount] = {};
    float ModelMaxCurrent[kModelCount] = {};
    float ModelMaxPower[kModelCount] = {};

    float VoltageStep[2] = {};
    float CurrentStep[2] = {};

    Flag ReplyPending = kFalse;
    Flag Connecting = kFalse;
    std::int16_t TimeoutCount = 0;
    QString MonitorReply;

    float FormWidth = 0;
    float FormHeight = 0;

    // Fills the model table, the step tables and the start values.
    void FillTables();
};

// The double value of the decimal number at the start of text; blanks anywhere
// are skipped, 'E' or 'D' start an exponent, and a text without a number gives 0.
double LeadingNumber(QStringView text);

// value written after a pattern of '0' digits with at most one '.': leading
// zeros up to the digits before the point, exactly the digits after it,
// rounded half away from zero.
QString FormatWithPattern(double value, QStringView pattern);

// The largest whole number not greater than value.
double IntegerPart(double value);

// Time of day in seconds since midnight, with fractions.
float TimeOfDay();
