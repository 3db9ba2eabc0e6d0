// SPDX-License-Identifier: GPL-3.0-or-later
// The rules that tie the panel's values together, as functions of values, so
// that every key that needs one (and any other way of setting the supply)
// applies the same one.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// The least limits that the entry boxes and the step keys allow.
inline constexpr float kLeastVoltageLimit = 1;     // V
inline constexpr float kLeastCurrentLimit = 0.02f; // A
inline constexpr float kLeastPowerLimit = 1;       // W

// The bounds of a value that the panel accepts, both included.
struct EntryRange {
    float lower = 0;
    float upper = 0;
};

// The patterns in which an entry box gets the upper bound that a typed value
// crossed (its lower bound is written plainly: "0", "1", "0.02"). The power
// box gets the whole watts of its bound.
namespace EntryPattern {
inline constexpr QStringView VoltageSet = u"0.00";   // txt_v, bound by the voltage limit
inline constexpr QStringView VoltageLimit = u"0";    // txt_u
inline constexpr QStringView CurrentLimit = u"0.00"; // txt_i
inline constexpr QStringView PowerLimit = u"0";      // txt_p, whole watts
} // namespace EntryPattern

// The text an entry box takes when the number typed into it crosses a bound:
// upperText above upper (tested first), lower written plainly below lower.
// Nothing for a number within them, whatever follows it in the text.
std::optional<QString> EntryBound(QStringView typed, float upper, const QString& upperText,
                                  float lower);

// The power limit that follows from the voltage and current limits: the whole
// watts of their product. The supply derives the same figure itself.
float PowerFromLimits(float voltageLimit, float currentLimit);

// The current limit that the supply sets for a power limit: what the power
// allows at the voltage limit, in whole hundredths, plus its headroom of
// 0.03 A. Nothing without a voltage limit, which gives no such current.
std::optional<float> CurrentFromPowerLimit(float powerLimit, float voltageLimit);
