// SPDX-License-Identifier: GPL-3.0-or-later
#include "status_line.h"

#include <utility>

namespace {

StatusField ReadField(QStringView payload, StatusLayout::Field field) {
    StatusField read;
    read.text = payload.mid(field.first - 1, field.width).toString();
    read.value = SingleNumber(read.text);
    read.plain = PlainNumber(read.text);
    return read;
}

// Whether a poll reply can be a status line at all.
bool MayBeStatusLine(QStringView reply) {
    return !reply.isEmpty() && !(reply[0] >= u'A' && reply[0] <= u'Z') &&
           reply.size() >= StatusLayout::Length + 1;
}

} // namespace

StatusLine ParseStatusLine(QStringView payload) {
    StatusLine status;
    status.voltage = ReadField(payload, StatusLayout::Voltage);
    status.current = ReadField(payload, StatusLayout::Current);
    status.power = ReadField(payload, StatusLayout::Power);
    status.voltageLimit = ReadField(payload, StatusLayout::VoltageLimit);
    status.currentLimit = ReadField(payload, StatusLayout::CurrentLimit);
    status.powerLimit = ReadField(payload, StatusLayout::PowerLimit);
    status.outputOn = StatusDigit(payload, StatusLayout::OutputDigit);
    status.overTemp = StatusDigit(payload, StatusLayout::OverTempDigit);
    status.fineMode = StatusDigit(payload, StatusLayout::FineDigit);
    status.locked = StatusDigit(payload, StatusLayout::LockDigit);
    return status;
}

std::optional<float> PlainNumber(QStringView field) {
    // Only the blanks the number reading skips: a carriage return or a
    // no-break space is a stray character, as SingleNumber sees it.
    QStringView number = field;
    while (!number.isEmpty() && IsNumberBlank(number.front())) {
        number = number.mid(1);
    }
    while (!number.isEmpty() && IsNumberBlank(number.back())) {
        number.chop(1);
    }
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

bool ReadConnectionStatus(const StatusLine& status, PanelState& state) {
    state.VoltageSet = status.voltage.value;
    state.VoltageLimit = status.voltageLimit.value;
    state.CurrentLimit = status.currentLimit.value;
    state.PowerLimit = status.powerLimit.value;

    using Digit = std::optional<std::int16_t> StatusLine::*;
    const std::pair<Digit, std::int16_t PanelState::*> digits[] = {
        {&StatusLine::outputOn, &PanelState::OutputOn},
        {&StatusLine::overTemp, &PanelState::OverTemp},
        {&StatusLine::fineMode, &PanelState::FineMode},
        {&StatusLine::locked, &PanelState::Locked},
    };
    for (const auto& [digit, member] : digits) {
        if (!(status.*digit)) {
            return false;
        }
        state.*member = *(status.*digit);
    }
    return true;
}

bool PollShowsVoltage(const PanelState& state) {
    return state.FineMode == 0;
}

std::optional<StatusLine> ReadPollStatus(QStringView reply, PanelState& state) {
    if (!MayBeStatusLine(reply)) {
        return std::nullopt;
    }
    const StatusLine status = ParseStatusLine(reply);
    if (!status.overTemp) {
        return std::nullopt;
    }
    state.TimeoutCount = 0;
    state.OverTemp = *status.overTemp;
    if (PollShowsVoltage(state) && !IsPercentTarget(state.EditTarget)) {
        state.VoltageSet = status.voltage.value;
    }
    state.PowerLimit = status.powerLimit.value;
    state.CurrentLimit = status.currentLimit.value;
    return status;
}
