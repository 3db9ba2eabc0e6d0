// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_instrument.h"

#include "edit_targets.h"

#include <algorithm>
#include <cmath>

namespace {

SetValue SetValueOf(Setting setting) {
    switch (setting) {
    case Setting::VoltageSet:
        return SetValue::VoltageSet;
    case Setting::VoltageLimit:
        return SetValue::VoltageLimit;
    case Setting::CurrentLimit:
        return SetValue::CurrentLimit;
    case Setting::PowerLimit:
        return SetValue::PowerLimit;
    }
    return SetValue::VoltageSet;
}

// The step of the last digit that a display pattern writes: "00.00" 0.01, "00" 1.
float PatternResolution(QStringView pattern) {
    const qsizetype point = pattern.indexOf(u'.');
    const auto decimals = point < 0 ? 0 : static_cast<int>(pattern.size() - point - 1);
    return static_cast<float>(std::pow(10.0, -decimals));
}

QStringView PatternOf(Setting setting) {
    switch (setting) {
    case Setting::VoltageSet:
        return DisplayPattern::VoltageSet;
    case Setting::VoltageLimit:
        return DisplayPattern::VoltageLimit;
    case Setting::CurrentLimit:
        return DisplayPattern::CurrentLimit;
    case Setting::PowerLimit:
        return DisplayPattern::PowerLimit;
    }
    return DisplayPattern::VoltageSet;
}

} // namespace

std::optional<SupplyReading> ReadingOf(const StatusLine& status) {
    const StatusField* fields[] = {&status.voltage, &status.current, &status.power,
                                   &status.currentLimit, &status.powerLimit};
    for (const StatusField* field : fields) {
        if (!field->plain) {
            return std::nullopt;
        }
    }
    return SupplyReading{*status.voltage.plain, *status.current.plain, *status.power.plain,
                         *status.currentLimit.plain, *status.powerLimit.plain};
}

PanelInstrument::PanelInstrument(Form1& panel, QObject* parent) : QObject(parent), panel_(panel) {
    // Joined to a panel that is connected already: its last status line.
    if (!panel_.LinkLost) {
        last_ = ReadingOf(ParseStatusLine(panel_.MonitorReply));
    }
    const auto take = [this](const StatusLine& status) { last_ = ReadingOf(status); };
    connect(&panel_, &Form1::ConnectionMade, this, take);
    connect(&panel_, &Form1::PollTaken, this, take);
}

QString PanelInstrument::Model() const {
    return panel_.StatusText(StatusPanel::Model);
}

bool PanelInstrument::EditOpen() const {
    return panel_.EditTarget != EditTargets::VoltageSet;
}

float PanelInstrument::Value(Setting setting) const {
    switch (setting) {
    case Setting::VoltageSet:
        return panel_.VoltageSet;
    case Setting::VoltageLimit:
        return panel_.VoltageLimit;
    case Setting::CurrentLimit:
        return panel_.CurrentLimit;
    case Setting::PowerLimit:
        return panel_.PowerLimit;
    }
    return 0;
}

// The entry boxes' range, within what the set command may carry.
SettingRange PanelInstrument::Allowed(Setting setting) const {
    const SetValue value = SetValueOf(setting);
    const EntryRange range = panel_.EntryRangeOf(value);
    return {range.lower, std::min(range.upper, panel_.SetMaximum(value)),
            PatternResolution(PatternOf(setting))};
}

void PanelInstrument::Set(Setting setting, float value) {
    panel_.HoldKeysWhile([&] { SetNow(setting, value); });
}

void PanelInstrument::SetNow(Setting setting, float value) {
    switch (setting) {
    case Setting::VoltageSet:
        panel_.EnterVoltageSet(value);
        break;
    case Setting::VoltageLimit:
        panel_.EnterVoltageLimit(value, FormatWithPattern(value, DisplayPattern::VoltageLimit));
        break;
    case Setting::CurrentLimit:
        panel_.EnterCurrentLimit(value);
        break;
    case Setting::PowerLimit:
        panel_.EnterPowerLimit(value);
        break;
    }
}

bool PanelInstrument::StepSetpoint(int direction) {
    return StepVoltageSet(panel_, direction);
}

float PanelInstrument::SetpointStep() const {
    return panel_.VoltageStep[panel_.FineMode == 1 ? 1 : 0];
}

std::optional<SupplyReading> PanelInstrument::Measure() {
    std::optional<StatusLine> status;
    panel_.HoldKeysWhile([&] { status = panel_.PollMonitor(); });
    return status ? ReadingOf(*status) : std::nullopt;
}

void PanelInstrument::Reconnect() {
    panel_.HoldKeysWhile([this] { panel_.Reconnect(); });
}
