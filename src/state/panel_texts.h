// SPDX-License-Identifier: GPL-3.0-or-later
// The texts the panel shows: status panel 1, the message boxes, the progress
// window and the edit target's caption. Each is written once, here, exactly as
// the user sees it.
#pragma once

#include <QLatin1String>

namespace StatusPanel1 {
inline constexpr QLatin1String Finding{"Finding the interface and Collecting data from ZRM"};
inline constexpr QLatin1String Ready{"Ready"};
inline constexpr QLatin1String CommunicationError{"Communication error!"};
inline constexpr QLatin1String Sending{"Send several commands to ZRM! Please wait a minute."};
} // namespace StatusPanel1

namespace MessageText {
inline constexpr QLatin1String CommunicationError{
    "Communication error! Please check the interface."};
inline constexpr QLatin1String CommunicationErrorTitle{"Warning"};
inline constexpr QLatin1String AlreadyRunning{"This program is running now!"};
} // namespace MessageText

// What became of a COM port in a scan, in the details of the communication
// error and in the wire trace.
namespace PortOutcomeText {
inline constexpr QLatin1String Opened{"opened"};
inline constexpr QLatin1String NotPresent{"not present"};
inline constexpr QLatin1String Denied{
    "permission denied: add your user to the dialout group and log in again"};
inline constexpr QLatin1String Busy{"busy: another program holds it"};
// The lock file and the process that left it.
inline constexpr QLatin1String StaleLock{
    "locked by a stale lock file %1 (process %2 is gone): remove it as root"};
inline constexpr QLatin1String Failed{"cannot be opened"};
inline constexpr QLatin1String Silent{"opened, no answer within 1 s"};
inline constexpr QLatin1String Answered{"answered"};
} // namespace PortOutcomeText

namespace ProgressText {
inline constexpr QLatin1String Start{"Connectting!"};
inline constexpr QLatin1String Scanning{"Connectting ZRM from RS232..."};
} // namespace ProgressText

// lbl_cmd: what the up and down keys act on.
namespace TargetCaption {
inline constexpr QLatin1String AtStart{"VSET "};
inline constexpr QLatin1String VoltageSet{"V SET"};
inline constexpr QLatin1String VoltageLimit{"V LIMIT"};
inline constexpr QLatin1String CurrentLimit{"I LIMIT"};
inline constexpr QLatin1String PowerLimit{"P LIMIT"};
inline constexpr QLatin1String PlusPercent{"+%"};
inline constexpr QLatin1String MinusPercent{"-%"};
} // namespace TargetCaption
