// SPDX-License-Identifier: GPL-3.0-or-later
// The supply's status line, the payload of its "L" reply: its layout, the one
// reading of it into a value, and what the connection and the monitor poll
// take from that value into the window state. Pure functions of text.
#pragma once

#include "panel_state.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// Where each field stands: 1-based positions within the payload. Positions 6,
// 12, 18, 21, 26, 30, 34 and 35 are not read.
namespace StatusLayout {
struct Field {
    qsizetype first; // its first character
    qsizetype width; // its characters
};
inline constexpr Field Voltage{1, 5};          // output voltage, dis_v
inline constexpr Field Current{7, 5};          // output current, dis_i
inline constexpr Field Power{13, 5};           // output power, dis_p
inline constexpr Field VoltageLimit{19, 2};    // dis_lv
inline constexpr Field CurrentLimit{22, 4};    // dis_li
inline constexpr Field PowerLimit{27, 3};      // dis_lp
inline constexpr qsizetype OutputDigit = 31;   // 1: output on
inline constexpr qsizetype OverTempDigit = 32; // 1: over-temperature
inline constexpr qsizetype FineDigit = 33;     // 1: fine step size
inline constexpr qsizetype LockDigit = 36;     // 1: soft panel locked
// The characters of a status line; the LF that ends every complete reply
// comes after them.
inline constexpr qsizetype Length = 36;
} // namespace StatusLayout

// One display field of a status line.
struct StatusField {
    QString text;               // cut unchanged, blanks kept; empty beyond a short line's end
    float value = 0;            // its number as the panel reads it (SingleNumber): 0 for none
    std::optional<float> plain; // the same number, only when the text is a plain one (PlainNumber)
    bool operator==(const StatusField&) const = default;
};

// A status line read once: every display field, and each state digit, which
// is nothing where its position holds no digit (beyond a short line's end
// too).
struct StatusLine {
    StatusField voltage;
    StatusField current;
    StatusField power;
    StatusField voltageLimit;
    StatusField currentLimit;
    StatusField powerLimit;
    std::optional<std::int16_t> outputOn;
    std::optional<std::int16_t> overTemp;
    std::optional<std::int16_t> fineMode;
    std::optional<std::int16_t> locked;
    bool operator==(const StatusLine&) const = default;
};

StatusLine ParseStatusLine(QStringView payload);

// The number a field holds when it is a plain decimal number and nothing else:
// digits with at most one '.', blanks only around them. Nothing for a sign, a
// letter, a blank field or a stray character ("-1", "4x", "  ").
std::optional<float> PlainNumber(QStringView field);

// The state digit at a 1-based position: exactly one character '0' to '9',
// nothing otherwise (a line too short included).
std::optional<std::int16_t> StatusDigit(QStringView payload, qsizetype position);

// Takes the status line that found the supply into the state: the set-point
// and the three limits, then the output, over-temperature, fine-mode and
// key-lock digits in that order. Stops at the first digit that is missing,
// keeping what was read before it, and returns whether all four were read.
bool ReadConnectionStatus(const StatusLine& status, PanelState& state);

// dis_v follows the poll only outside fine mode, where it shows the set-point.
bool PollShowsVoltage(const PanelState& state);

// Reads a poll reply when it is a status line: not empty, not led by a capital
// letter, at least the line's length and its LF, and a digit at the
// over-temperature position. A status line clears the timeout count and sets
// the over-temperature digit, the current and power limits, and the
// set-point unless the fine mode hides the voltage or a percent offset is
// being edited. Nothing, and no change, for any other reply.
std::optional<StatusLine> ReadPollStatus(QStringView reply, PanelState& state);
