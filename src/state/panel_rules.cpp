// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_rules.h"
#include "panel_state.h"

std::optional<QString> EntryBound(QStringView typed, float upper, const QString& upperText,
                                  float lower) {
    const float value = SingleNumber(typed);
    if (value > upper) {
        return upperText;
    }
    if (value < lower) {
        return QString::number(lower);
    }
    return std::nullopt;
}

float PowerFromLimits(float voltageLimit, float currentLimit) {
    return static_cast<float>(IntegerPart(voltageLimit * currentLimit));
}

std::optional<float> CurrentFromPowerLimit(float powerLimit, float voltageLimit) {
    if (voltageLimit == 0) {
        return std::nullopt;
    }
    return static_cast<float>(
        IntegerPart(static_cast<double>(powerLimit) * 100 / voltageLimit) / 100 + kCurrentHeadroom);
}
