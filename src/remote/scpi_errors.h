// SPDX-License-Identifier: GPL-3.0-or-later
// The SCPI error numbers and texts that remote control reports, and each
// client's error queue.
#pragma once

#include <QList>
#include <QString>

namespace ScpiError {
inline constexpr int NoError = 0;
inline constexpr int InvalidCharacter = -101;
inline constexpr int SyntaxError = -102;
inline constexpr int DataTypeError = -104;
inline constexpr int ParameterNotAllowed = -108;
inline constexpr int MissingParameter = -109;
inline constexpr int UndefinedHeader = -113;
inline constexpr int InvalidSuffix = -131;
inline constexpr int SettingsConflict = -221;
inline constexpr int DataOutOfRange = -222;
inline constexpr int TooMuchData = -223;
inline constexpr int ListsNotSameLength = -226;
inline constexpr int DataStale = -230;
inline constexpr int HardwareError = -240;
inline constexpr int QueueOverflow = -350;
} // namespace ScpiError

// The text that SCPI gives an error number ("Undefined header").
QString ScpiErrorText(int code);

// The errors of one client, oldest first. When it is full the newest entry
// becomes "Queue overflow" and later errors are lost, so the client learns
// that it missed some.
class ErrorQueue {
public:
    static constexpr int kCapacity = 20;

    void Push(int code);
    // The oldest error as SYSTem:ERRor? answers it, taken off the queue:
    // -113,"Undefined header"; 0,"No error" when the queue is empty.
    QString Take();
    int Count() const { return static_cast<int>(codes_.size()); }
    void Clear() { codes_.clear(); }

private:
    QList<int> codes_;
};
