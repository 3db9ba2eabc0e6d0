// SPDX-License-Identifier: GPL-3.0-or-later
// The supply's command set: every line the panel can put on the wire is built
// here. Pure functions of their values, Qt Core only, so tests and fuzzers can
// check them without a port.
#pragma once

#include <QLatin1String>
#include <QString>

// Queries: each is answered by one reply line.
namespace Query {
inline constexpr QLatin1String Status{"L"};       // the status line
inline constexpr QLatin1String PlusPercent{"B"};  // the plus percent offset
inline constexpr QLatin1String MinusPercent{"D"}; // the minus percent offset
inline constexpr QLatin1String VoltageLimit{"U"}; // the voltage limit, volts
inline constexpr QLatin1String CurrentLimit{"I"}; // the current limit, amperes
} // namespace Query

// Key commands: the supply's own keys, no value and no reply.
namespace KeyCommand {
inline constexpr QLatin1String ToggleOutput{"KO"}; // output on to off, off to on
inline constexpr QLatin1String NormalStep{"KN"};   // normal step size
inline constexpr QLatin1String FineStep{"KF"};     // fine step size
} // namespace KeyCommand

// How long the supply needs after a set or step command before it answers a
// query about the changed value (and between the steps of a percent change).
inline constexpr double kCommandPauseSeconds = 0.15;

// The values that take a set command with a number.
enum class SetValue { VoltageSet, VoltageLimit, CurrentLimit, PowerLimit };

// The values that one-step commands move.
enum class StepValue {
    VoltageSet,
    VoltageLimit,
    CurrentLimit,
    PowerLimit,
    PlusPercent,
    MinusPercent
};

// The limits that can go to the model's maximum.
enum class Limit { Voltage, Current, Power };

// +1 for a step up, -1 for a step down.
using Direction = int;

// "SV 07.50", "SU 40", "SI 2.50", "SP 095": the mnemonic, a space and the value
// written with the pattern of that value's display. Empty, and so never sent,
// for an amount that the supply must not get: not a number, negative, above
// `maximum` (compared in single precision, as the panel keeps its values), or
// wider than the pattern.
QString SetCommand(SetValue value, double amount, float maximum);

// "SV+", "SB-", ...: the mnemonic and the direction's sign.
QString StepCommand(StepValue value, Direction direction);

// "SUM", "SIM", "SPM". "SPM" takes all three limits to the model's maxima.
QString MaximumCommand(Limit limit);
