// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the trend window, its menu and the CSV log, each written once.
#pragma once

#include <QLatin1String>
#include <QString>

namespace TrendText {
inline constexpr QLatin1String WindowTitle{"ZRM Trend"};
inline constexpr QLatin1String ShowTrend{"Show trend"};
inline const QString StartLog = QStringLiteral("Start CSV log\u2026");
inline constexpr QLatin1String StopLog{"Stop CSV log"};
inline constexpr QLatin1String Pause{"Pause"};
inline constexpr QLatin1String Resume{"Resume"};
inline constexpr QLatin1String LoggingTo{"Logging to %1"};
inline constexpr QLatin1String NoReading{"No reading yet"};
// In the newest reading, for a field that held no number.
inline constexpr QLatin1String NoValue{"--"};
// The toggle that draws the limits also where they are far from the readings.
inline constexpr QLatin1String AlwaysLimits{"Always show limits"};
// The panel's counters, amp-hours and watt-hours, and their reset.
inline constexpr QLatin1String Counters{"Charge %1 Ah   energy %2 Wh"};
inline constexpr QLatin1String ResetCounters{"Reset counters"};
// The newest reading: time, voltage, current, power, current and power limits.
inline constexpr QLatin1String Newest{"%1   %2 V   %3 A   %4 W   (limits %5 A, %6 W)"};
inline constexpr QLatin1String Voltage{"Voltage (V)"};
inline constexpr QLatin1String Current{"Current (A)"};
inline constexpr QLatin1String Power{"Power (W)"};
inline constexpr QLatin1String DialogTitle{"Start CSV log"};
inline constexpr QLatin1String DialogFilter{"CSV files (*.csv);;All files (*)"};
// The suggested file name, with the date and time of the dialog.
inline constexpr QLatin1String SuggestedName{"zrm-log-%1.csv"};
inline constexpr QLatin1String LogErrorTitle{"CSV log"};
inline constexpr QLatin1String OpenFailed{"The CSV log cannot be written to %1: %2.\n"
                                          "No log is running."};
inline constexpr QLatin1String WriteFailed{"The CSV log could not be written to %1: %2.\n"
                                           "The log has stopped; the rows before stay in it."};
inline constexpr QLatin1String FileGone{"The CSV log file %1 has gone: it was deleted or moved, "
                                        "or its folder was removed.\nThe log has stopped."};
} // namespace TrendText

// The time ranges of the window; 0 is all that the trend holds.
namespace TrendRange {
inline constexpr struct {
    QLatin1String name;
    qint64 ms;
} kChoices[] = {
    {QLatin1String("1 min"), 60'000},
    {QLatin1String("10 min"), 600'000},
    {QLatin1String("1 h"), 3'600'000},
    {QLatin1String("All"), 0},
};
inline constexpr int kDefault = 1;
} // namespace TrendRange
