// SPDX-License-Identifier: GPL-3.0-or-later
#include "supply_link.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// A field by its 1-based first and last positions.
QString Field(QStringView payload, qsizetype first, qsizetype last) {
    return payload.mid(first - 1, last - first + 1).toString();
}

bool IsPercentEdit(const QString& target) {
    return target == EditTargets::PlusPercent || target == EditTargets::MinusPercent;
}

} // namespace

float SingleNumber(QStringView text) {
    return static_cast<float>(std::clamp(LeadingNumber(text), -double(FLT_MAX), double(FLT_MAX)));
}

StatusTexts CutStatusTexts(QStringView payload) {
    return {Field(payload, 1, 5),   Field(payload, 7, 11),  Field(payload, 13, 17),
            Field(payload, 19, 20), Field(payload, 22, 25), Field(payload, 27, 29)};
}

std::optional<float> PlainNumber(QStringView field) {
    const QStringView number = field.trimmed();
    int digits = 0;
    int points = 0;
    for (const QChar c : number) {
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if (c == u'.') {
            ++points;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || points > 1) {
        return std::nullopt;
    }
    return SingleNumber(number);
}

std::optional<std::int16_t> StatusDigit(QStringView payload, qsizetype position) {
    if (position < 1 || position > payload.size()) {
        return std::nullopt;
    }
    const QChar c = payload[position - 1];
    if (c < u'0' || c > u'9') {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(c.unicode() - u'0');
}

bool ReadConnectionStatus(QStringView payload, PanelState& state, StatusTexts& texts) {
    texts = CutStatusTexts(payload);
    state.VoltageSet = SingleNumber(texts.voltage);
    state.VoltageLimit = SingleNumber(texts.voltageLimit);
    state.CurrentLimit = SingleNumber(texts.currentLimit);
    state.PowerLimit = SingleNumber(texts.powerLimit);

    const std::pair<qsizetype, std::int16_t PanelState::*> digits[] = {
        {31, &PanelState::OutputOn},
        {32, &PanelState::OverTemp},
        {33, &PanelState::FineMode},
        {36, &PanelState::Locked},
    };
    for (const auto& [position, member] : digits) {
        const auto digit = StatusDigit(payload, position);
        if (!digit) {
            return false;
        }
        state.*member = *digit;
    }
    return true;
}

bool ReadPollStatus(QStringView reply, PanelState& state, PollTexts& texts) {
    // A status line is 36 characters; the LF that ends every complete reply
    // makes 37.
    constexpr qsizetype kStatusLength = 37;
    if (reply.isEmpty() || (reply[0] >= u'A' && reply[0] <= u'Z') || reply.size() < kStatusLength) {
        return false;
    }
    const auto overTemp = StatusDigit(reply, 32);
    if (!overTemp) {
        return false;
    }
    const StatusTexts cut = CutStatusTexts(reply);
    state.TimeoutCount = 0;
    state.OverTemp = *overTemp;
    texts.voltage.reset();
    if (state.FineMode == 0) {
        texts.voltage = cut.voltage;
        if (!IsPercentEdit(state.EditTarget)) {
            state.VoltageSet = SingleNumber(cut.voltage);
        }
    }
    texts.current = cut.current;
    texts.power = cut.power;
    texts.powerLimit = cut.powerLimit;
    state.PowerLimit = SingleNumber(cut.powerLimit);
    texts.currentLimit = cut.currentLimit;
    state.CurrentLimit = SingleNumber(cut.currentLimit);
    return true;
}

int MatchModelRow(double maxVoltage, const PanelState& state) {
    for (int row = 0; row < kModelCount; ++row) {
        if (std::fabs(maxVoltage - state.ModelMaxVoltage[row]) < 0.01) {
            return row;
        }
    }
    return -1;
}
