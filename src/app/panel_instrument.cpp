// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_instrument.h"

#include "edit_targets.h"
#include "run_control.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// What each setting is on the panel, in the order of Setting.
struct SettingRow {
    SetValue value;
    QStringView pattern; // its display's, whose last digit is the supply's resolution
    float PanelState::*member;
    void (*enter)(Form1&, float); // its entry key's rule
};

const SettingRow kSettings[] = {
    {SetValue::VoltageSet, DisplayPattern::VoltageSet, &PanelState::VoltageSet,
     [](Form1& panel, float volts) { panel.EnterVoltageSet(volts); }},
    {SetValue::VoltageLimit, DisplayPattern::VoltageLimit, &PanelState::VoltageLimit,
     [](Form1& panel, float volts) {
         panel.EnterVoltageLimit(volts, FormatWithPattern(volts, DisplayPattern::VoltageLimit));
     }},
    {SetValue::CurrentLimit, DisplayPattern::CurrentLimit, &PanelState::CurrentLimit,
     [](Form1& panel, float amperes) { panel.EnterCurrentLimit(amperes); }},
    {SetValue::PowerLimit, DisplayPattern::PowerLimit, &PanelState::PowerLimit,
     [](Form1& panel, float watts) { panel.EnterPowerLimit(watts); }},
};

static_assert(std::size(kSettings) == static_cast<size_t>(Setting::PowerLimit) + 1);

const SettingRow& RowOf(Setting setting) {
    return kSettings[static_cast<size_t>(setting)];
}

// The step of the last digit that a display pattern writes: "00.00" 0.01, "00" 1.
float PatternResolution(QStringView pattern) {
    const qsizetype point = pattern.indexOf(u'.');
    const auto decimals = point < 0 ? 0 : static_cast<int>(pattern.size() - point - 1);
    return static_cast<float>(std::pow(10.0, -decimals));
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
    return panel_.EditTarget != EditTargets::VoltageSet || (runs_ && runs_->Executor().Active());
}

float PanelInstrument::Value(Setting setting) const {
    return panel_.*RowOf(setting).member;
}

// The entry boxes' range, within what the set command may carry.
SettingRange PanelInstrument::Allowed(Setting setting) const {
    const SettingRow& row = RowOf(setting);
    const EntryRange range = panel_.EntryRangeOf(row.value);
    return {range.lower, std::min(range.upper, panel_.SetMaximum(row.value)),
            PatternResolution(row.pattern)};
}

void PanelInstrument::Set(Setting setting, float value) {
    panel_.HoldKeysWhile([&] { RowOf(setting).enter(panel_, value); });
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

QList<double> PanelInstrument::List(ListValue value) const {
    return lists_[static_cast<int>(value)];
}

void PanelInstrument::SetList(ListValue value, const QList<double>& values) {
    lists_[static_cast<int>(value)] = values;
}

InitiateResult PanelInstrument::Initiate() {
    if (runs_ == nullptr || panel_.LinkLost) {
        return InitiateResult::NoSupply;
    }
    if (EditOpen()) {
        return InitiateResult::Conflict;
    }
    const std::optional<Run> run = RunFromLists(List(ListValue::Voltage), List(ListValue::Current),
                                                List(ListValue::Dwell), listCount_);
    if (!run) {
        return InitiateResult::ListsDiffer;
    }
    // The run's first commands go now, as the keys' do.
    return runs_->Executor().Start(*run) ? InitiateResult::OutOfRange : InitiateResult::Started;
}

void PanelInstrument::Abort() {
    if (runs_ != nullptr) {
        runs_->Executor().Stop();
    }
}

bool PanelInstrument::EndRunOutputOff() {
    return runs_ != nullptr && runs_->EndByOutput();
}

RunReport PanelInstrument::Report() const {
    RunReport report;
    if (runs_ == nullptr) {
        return report;
    }
    const RunProgress progress = runs_->Executor().Progress();
    static const RunReport::State kStates[] = {RunReport::State::Idle, RunReport::State::Running,
                                               RunReport::State::Paused, RunReport::State::Ending,
                                               RunReport::State::Ended};
    report.state = kStates[static_cast<int>(progress.state)];
    if (progress.state == RunState::Idle) {
        return report;
    }
    report.step = progress.position.step + 1;
    report.pass = progress.position.pass + 1;
    report.secondsLeft = static_cast<double>(progress.leftMs) / 1000;
    static const RunReport::End kEnds[] = {
        RunReport::End::Completed,   RunReport::End::Time,       RunReport::End::Current,
        RunReport::End::VoltageHigh, RunReport::End::VoltageLow, RunReport::End::Charge,
        RunReport::End::Energy,      RunReport::End::Stopped,    RunReport::End::OutputKey,
        RunReport::End::LinkLost,
    };
    if (progress.outcome) {
        report.end = kEnds[static_cast<int>(*progress.outcome)];
    }
    return report;
}

double PanelInstrument::ChargeAh() const {
    return runs_ != nullptr ? runs_->Counters().Totals().ampHours : 0;
}

double PanelInstrument::EnergyWh() const {
    return runs_ != nullptr ? runs_->Counters().Totals().wattHours : 0;
}

void PanelInstrument::ResetCounters() {
    if (runs_ != nullptr) {
        runs_->Counters().Reset();
    }
}
