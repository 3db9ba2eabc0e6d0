// SPDX-License-Identifier: GPL-3.0-or-later
#include "supply.h"

#include "fixed_point.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

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

// The battery's charge and the energy delivered are integrated in steps no longer than
// this (fourth-order Runge-Kutta); a resistive load's current is constant between
// settings and needs one step.
constexpr double kIntegrationStepSeconds = 0.01;
constexpr double kSecondsPerHour = 3600.0;

} // namespace

std::optional<Battery> ParseBattery(const std::string& text) {
    double values[4];
    const char* cursor = text.c_str();
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        values[i] = std::strtod(cursor, &end);
        const char expected = i < 3 ? ',' : '\0';
        if (end == cursor || *end != expected || !std::isfinite(values[i])) {
            return std::nullopt;
        }
        cursor = end + 1;
    }
    const Battery battery{values[0], values[1], values[2], values[3]};
    if (battery.empty_volts < 0 || battery.full_volts < battery.empty_volts ||
        battery.capacity_ah <= 0 || battery.ohms <= 0) {
        return std::nullopt;
    }
    return battery;
}

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

double Supply::BatteryVolts(double battery_ah) const {
    const Battery& b = *battery_;
    const double filled = std::min(battery_ah, b.capacity_ah) / b.capacity_ah;
    return b.empty_volts + (b.full_volts - b.empty_volts) * filled;
}

// The output voltage is the set-point unless the current limit (constant current) or the
// power limit (constant power) holds it lower on this load. A battery takes the current
// that the set-point drives through its resistance, within the same two limits.
Supply::Output Supply::OutputAt(double battery_ah) const {
    const double set_point = static_cast<double>(settings_.vset_centivolts) / 100.0;
    const double current_limit = settings_.ilimit_centiamps / 100.0;
    const double power_limit = settings_.plimit_watts;
    Output out;
    if (!battery_) {
        const double current_bound = current_limit * load_ohms_;
        const double power_bound = std::sqrt(power_limit * load_ohms_);
        out.volts = set_point;
        if (current_bound < out.volts) {
            out.volts = current_bound;
            out.regulation = Regulation::kConstantCurrent;
        }
        if (power_bound < out.volts) {
            out.volts = power_bound;
            out.regulation = Regulation::kConstantPower;
        }
        out.amps = out.volts / load_ohms_;
        return out;
    }
    const double source = BatteryVolts(battery_ah);
    const double ohms = battery_->ohms;
    out.amps = std::max(0.0, (set_point - source) / ohms);
    if (out.amps > current_limit) {
        out.amps = current_limit;
        out.regulation = Regulation::kConstantCurrent;
    }
    // The current at which (source + I R) I is the power limit.
    const double power_bound =
        (-source + std::sqrt(source * source + 4 * ohms * power_limit)) / (2 * ohms);
    if (out.amps > power_bound) {
        out.amps = power_bound;
        out.regulation = Regulation::kConstantPower;
    }
    out.volts = source + out.amps * ohms;
    return out;
}

Reading Supply::Measure() const {
    Reading reading;
    if (!settings_.output_on) {
        reading.centivolts = settings_.vset_centivolts;
        return reading;
    }
    const Output out = OutputAt(battery_ah_);
    reading.regulation = out.regulation;
    reading.centivolts = RoundScaled(out.volts, 2);
    const double shown_volts = static_cast<double>(reading.centivolts) / 100.0;
    const double amps = battery_ ? out.amps : shown_volts / load_ohms_;
    reading.milliamps = RoundScaled(amps, 3);
    reading.deciwatts = RoundScaled(shown_volts * amps, 1);
    return reading;
}

void Supply::AdvanceTo(double seconds) {
    double left = seconds - clock_seconds_;
    clock_seconds_ = std::max(clock_seconds_, seconds);
    if (!settings_.output_on || left <= 0) {
        return;
    }
    // Amp-hours and watt-hours a second, the battery holding q.
    const auto rates = [this](double q) {
        const Output out = OutputAt(q);
        return std::pair{out.amps / kSecondsPerHour, out.volts * out.amps / kSecondsPerHour};
    };
    while (left > 0) {
        const double h = battery_ ? std::min(left, kIntegrationStepSeconds) : left;
        const auto [a1, w1] = rates(battery_ah_);
        const auto [a2, w2] = rates(battery_ah_ + a1 * h / 2);
        const auto [a3, w3] = rates(battery_ah_ + a2 * h / 2);
        const auto [a4, w4] = rates(battery_ah_ + a3 * h);
        const double ah = (a1 + 2 * a2 + 2 * a3 + a4) * h / 6;
        charge_ah_ += ah;
        energy_wh_ += (w1 + 2 * w2 + 2 * w3 + w4) * h / 6;
        if (battery_) {
            battery_ah_ += ah;
        }
        left -= h;
    }
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
    char text[64];
    if (battery_) {
        line += " load=battery";
    } else {
        std::snprintf(text, sizeof text, " load=%g", load_ohms_);
        line += text;
    }
    std::snprintf(text, sizeof text, " charge_ah=%.6f energy_wh=%.6f", charge_ah_, energy_wh_);
    line += text;
    if (battery_) {
        std::snprintf(text, sizeof text, " battery_v=%.3f", BatteryVolts(battery_ah_));
        line += text;
    }
    return line;
}

} // namespace zrm_sim
