// SPDX-License-Identifier: GPL-3.0-or-later
#include "supply.h"

#include "fixed_point.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace zrm_sim {

namespace {

constexpr std::array<Model, 3> kModels{{
    {"ZRM-711", 60, 350, 210},
    {"ZRM-522", 40, 500, 200},
    {"ZRM-3033", 20, 999, 199},
}};

constexpr int kMinVoltageLimit = 1;
constexpr int kMinCurrentLimit = 2;
constexpr int kMinPowerLimit = 1;
constexpr int kMinPlusPercent = 100;
constexpr int kMaxPlusPercent = 150;
constexpr int kMinMinusPercent = 50;
constexpr int kMaxMinusPercent = 100;
// After a new power limit the supply sets its current limit a little above the current
// that the power limit allows at the voltage limit.
constexpr int kCurrentHeadroom = 3;

template <typename T> T Clamp(T value, T low, T high) {
    return std::max(low, std::min(value, high));
}

char Digit(bool on) {
    return on ? '1' : '0';
}

} // namespace

const Model* FindModel(std::string_view name) {
    for (const Model& model : kModels) {
        if (name == model.name) {
            return &model;
        }
    }
    return nullptr;
}

const Model& DefaultModel() {
    return kModels[1];
}

Supply::Supply(const Model& model, Settings settings, double load_ohms)
    : model_(model), settings_(settings), load_ohms_(load_ohms) {
    Settings& s = settings_;
    s.vlimit_volts = Clamp(s.vlimit_volts, kMinVoltageLimit, model.max_volts);
    s.ilimit_centiamps = Clamp(s.ilimit_centiamps, kMinCurrentLimit, model.max_centiamps);
    s.plimit_watts = Clamp(s.plimit_watts, kMinPowerLimit, MaxPowerLimit());
    s.vset_centivolts = Clamp(s.vset_centivolts, 0LL, s.vlimit_volts * 100LL);
    s.plus_percent = Clamp(s.plus_percent, kMinPlusPercent, kMaxPlusPercent);
    s.minus_percent = Clamp(s.minus_percent, kMinMinusPercent, kMaxMinusPercent);
}

std::optional<Reply> Supply::Execute(std::string_view command) {
    if (command == "L") {
        return Reply{StatusPayload(), true};
    }
    if (command == "B") {
        return Reply{FormatFixed(settings_.plus_percent, 3, 0)};
    }
    if (command == "D") {
        return Reply{FormatFixed(settings_.minus_percent, 3, 0)};
    }
    if (command == "U") {
        return Reply{FormatFixed(settings_.vlimit_volts, 2, 0)};
    }
    if (command == "I") {
        return Reply{FormatFixed(settings_.ilimit_centiamps, 1, 2)};
    }
    if (!ExecuteStep(command) && !ExecuteSetting(command) && command.size() > 3 &&
        command[2] == ' ') {
        const std::size_t start = command.find_first_not_of(' ', 2);
        if (start != std::string_view::npos) {
            ExecuteValue(command.substr(0, 2), command.substr(start));
        }
    }
    return std::nullopt;
}

bool Supply::ExecuteStep(std::string_view command) {
    if (command.size() != 3 || (command[2] != '+' && command[2] != '-')) {
        return false;
    }
    const int sign = command[2] == '+' ? 1 : -1;
    const std::string_view mnemonic = command.substr(0, 2);
    if (mnemonic == "SV") {
        StepSetPoint(sign * (settings_.fine ? 1 : 100));
    } else if (mnemonic == "SU") {
        StepVoltageLimit(sign);
    } else if (mnemonic == "SI") {
        StepCurrentLimit(sign * (settings_.fine ? 1 : 10));
    } else if (mnemonic == "SP") {
        StepPowerLimit(sign);
    } else if (mnemonic == "SB") {
        StepWithin(settings_.plus_percent, sign, kMinPlusPercent, kMaxPlusPercent);
    } else if (mnemonic == "SD") {
        StepWithin(settings_.minus_percent, sign, kMinMinusPercent, kMaxMinusPercent);
    } else {
        return false;
    }
    return true;
}

bool Supply::ExecuteSetting(std::string_view command) {
    if (command == "SUM") {
        SetVoltageLimit(model_.max_volts);
    } else if (command == "SIM") {
        SetCurrentLimit(model_.max_centiamps);
    } else if (command == "SPM") {
        settings_.vlimit_volts = model_.max_volts;
        settings_.ilimit_centiamps = model_.max_centiamps;
        settings_.plimit_watts = model_.max_watts;
    } else if (command == "KO") {
        settings_.output_on = !settings_.output_on;
    } else if (command == "KN" || command == "KF") {
        settings_.fine = command == "KF";
    } else {
        return false;
    }
    return true;
}

bool Supply::ExecuteValue(std::string_view mnemonic, std::string_view argument) {
    const bool centi = mnemonic == "SV" || mnemonic == "SI";
    const std::optional<long long> value = ParseFixed(argument, centi ? 2 : 0);
    if (!value) {
        return false;
    }
    if (mnemonic == "SV") {
        settings_.vset_centivolts = Clamp(*value, 0LL, settings_.vlimit_volts * 100LL);
    } else if (mnemonic == "SU") {
        SetVoltageLimit(*value);
    } else if (mnemonic == "SI") {
        SetCurrentLimit(*value);
    } else if (mnemonic == "SP") {
        SetPowerLimit(*value);
    } else {
        return false;
    }
    return true;
}

// A new voltage or current limit brings the power limit to what the two allow together.
void Supply::SetVoltageLimit(long long volts) {
    Settings& s = settings_;
    s.vlimit_volts = static_cast<int>(Clamp<long long>(volts, kMinVoltageLimit, model_.max_volts));
    s.vset_centivolts = std::min(s.vset_centivolts, s.vlimit_volts * 100LL);
    s.plimit_watts = s.vlimit_volts * s.ilimit_centiamps / 100;
}

void Supply::SetCurrentLimit(long long centiamps) {
    Settings& s = settings_;
    s.ilimit_centiamps =
        static_cast<int>(Clamp<long long>(centiamps, kMinCurrentLimit, model_.max_centiamps));
    s.plimit_watts = s.vlimit_volts * s.ilimit_centiamps / 100;
}

void Supply::SetPowerLimit(long long watts) {
    Settings& s = settings_;
    s.plimit_watts = static_cast<int>(Clamp<long long>(watts, kMinPowerLimit, MaxPowerLimit()));
    s.ilimit_centiamps =
        std::min(model_.max_centiamps, s.plimit_watts * 100 / s.vlimit_volts + kCurrentHeadroom);
}

void Supply::StepSetPoint(long long delta) {
    const long long next = settings_.vset_centivolts + delta;
    if (next >= 0 && next <= settings_.vlimit_volts * 100LL) {
        settings_.vset_centivolts = next;
    }
}

void Supply::StepVoltageLimit(int delta) {
    const int next = settings_.vlimit_volts + delta;
    if (next >= kMinVoltageLimit && next <= model_.max_volts) {
        SetVoltageLimit(next);
    }
}

void Supply::StepCurrentLimit(int delta) {
    const int next = settings_.ilimit_centiamps + delta;
    if (next >= kMinCurrentLimit && next <= model_.max_centiamps) {
        SetCurrentLimit(next);
    }
}

void Supply::StepPowerLimit(int delta) {
    const int next = settings_.plimit_watts + delta;
    if (next >= kMinPowerLimit && next <= MaxPowerLimit()) {
        SetPowerLimit(next);
    }
}

void Supply::StepWithin(int& value, int delta, int low, int high) {
    if (value + delta >= low && value + delta <= high) {
        value += delta;
    }
}

int Supply::MaxPowerLimit() const {
    return std::min(model_.max_watts, model_.max_centiamps * settings_.vlimit_volts / 100);
}

// With the output on, the output voltage is the set-point unless the current limit
// (constant current) or the power limit (constant power) holds it lower on this load.
Reading Supply::Measure() const {
    Reading reading;
    if (!settings_.output_on) {
        reading.centivolts = settings_.vset_centivolts;
        return reading;
    }
    const double set_point = static_cast<double>(settings_.vset_centivolts) / 100.0;
    const double current_bound = settings_.ilimit_centiamps / 100.0 * load_ohms_;
    const double power_bound = std::sqrt(settings_.plimit_watts * load_ohms_);
    double volts = set_point;
    if (current_bound < volts) {
        volts = current_bound;
        reading.regulation = Regulation::kConstantCurrent;
    }
    if (power_bound < volts) {
        volts = power_bound;
        reading.regulation = Regulation::kConstantPower;
    }
    reading.centivolts = RoundScaled(volts, 2);
    const double shown_volts = static_cast<double>(reading.centivolts) / 100.0;
    const double amps = shown_volts / load_ohms_;
    reading.milliamps = RoundScaled(amps, 3);
    reading.deciwatts = RoundScaled(shown_volts * amps, 1);
    return reading;
}

std::string Supply::StatusPayload() const {
    const Reading reading = Measure();
    const Settings& s = settings_;
    std::string line;
    line += FormatFixed(reading.centivolts, 2, 2) + ' ';
    line += FormatFixed(reading.milliamps, 1, 3) + ' ';
    line += FormatFixed(reading.deciwatts, 3, 1) + ' ';
    line += FormatFixed(s.vlimit_volts, 2, 0) + ' ';
    line += FormatFixed(s.ilimit_centiamps, 1, 2) + ' ';
    line += FormatFixed(s.plimit_watts, 3, 0) + ' ';
    line += Digit(s.output_on);
    line += Digit(s.overtemp);
    line += Digit(s.fine);
    line += static_cast<char>('0' + static_cast<int>(reading.regulation));
    line += '0';
    line += Digit(s.locked);
    return line;
}

std::string Supply::StateLine() const {
    const Settings& s = settings_;
    std::string line;
    line += "vset=" + FormatFixed(s.vset_centivolts, 2, 2);
    line += " vlimit=" + FormatFixed(s.vlimit_volts, 2, 0);
    line += " ilimit=" + FormatFixed(s.ilimit_centiamps, 1, 2);
    line += " plimit=" + FormatFixed(s.plimit_watts, 3, 0);
    line += " plus=" + std::to_string(s.plus_percent);
    line += " minus=" + std::to_string(s.minus_percent);
    line += std::string(" output=") + Digit(s.output_on);
    line += std::string(" fine=") + Digit(s.fine);
    line += std::string(" locked=") + Digit(s.locked);
    line += std::string(" overtemp=") + Digit(s.overtemp);
    line += " model=" + std::string(model_.name);
    char load[32];
    std::snprintf(load, sizeof load, " load=%g", load_ohms_);
    line += load;
    return line;
}

} // namespace zrm_sim
