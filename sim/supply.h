// SPDX-License-Identifier: GPL-3.0-or-later
// The supply itself: its settings, what each command does to them, and what it measures
// at its output terminals with a resistive load or a battery connected.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zrm_sim {

struct Model {
    const char* name;
    int max_volts;
    int max_centiamps;
    int max_watts;
};

// The three models, by name ("ZRM-522"); nullptr for an unknown name.
const Model* FindModel(std::string_view name);
const Model& DefaultModel();

// The supply's settings in its own units: hundredths of a volt for the set-point, whole
// volts and watts for those limits, hundredths of an ampere for the current limit.
struct Settings {
    long long vset_centivolts = 0;
    int vlimit_volts = 0;
    int ilimit_centiamps = 0;
    int plimit_watts = 0;
    int plus_percent = 100;
    int minus_percent = 100;
    bool output_on = false;
    bool fine = false;
    bool locked = false;
    bool overtemp = false;
};

enum class Regulation { kConstantVoltage = 0, kConstantCurrent = 1, kConstantPower = 2 };

// What the meters show.
struct Reading {
    long long centivolts = 0;
    long long milliamps = 0;
    long long deciwatts = 0;
    Regulation regulation = Regulation::kConstantVoltage;
};

// A battery on the output: a voltage source behind an internal resistance, its
// open-circuit voltage rising in a straight line from empty to full with the charge it
// takes, and staying at full beyond its capacity. The supply cannot take current back, so
// a battery above the set-point takes none and shows its own voltage.
struct Battery {
    double empty_volts = 0;
    double full_volts = 0;
    double capacity_ah = 0;
    double ohms = 0;
};

// "11,14.4,2,0.05" (EMPTY_V,FULL_V,CAPACITY_AH,R_OHMS); nothing unless
// 0 <= EMPTY_V <= FULL_V, CAPACITY_AH > 0 and R_OHMS > 0.
std::optional<Battery> ParseBattery(const std::string& text);

struct Reply {
    std::string payload;
    bool is_status = false;
};

class Supply {
public:
    // Settings outside the model's ranges are brought to the nearest bound.
    Supply(const Model& model, Settings settings, double load_ohms);

    // Carries out one command line (without its CR). Queries return their reply payload;
    // settings, steps and unknown commands return nothing.
    std::optional<Reply> Execute(std::string_view command);

    std::string StatusPayload() const;
    // The settings as "vset=12.00 vlimit=40 ..." for the control channel, then the charge
    // and energy delivered and, with a battery, its open-circuit voltage.
    std::string StateLine() const;
    Reading Measure() const;

    // Moves the supply's clock on to `seconds` (since the simulator started), adding up
    // the charge and energy delivered on the way; a battery takes that charge. Called
    // before every command and control line, so each setting holds for its own interval.
    void AdvanceTo(double seconds);

    // A resistive load in place of whatever was connected.
    void SetLoad(double ohms) {
        load_ohms_ = ohms;
        battery_.reset();
    }
    // An empty battery in place of whatever was connected.
    void SetBattery(const Battery& battery) {
        battery_ = battery;
        battery_ah_ = 0;
    }
    void SetOverTemp(bool on) { settings_.overtemp = on; }
    void SetLocked(bool on) { settings_.locked = on; }
    const Settings& settings() const { return settings_; }

private:
    // The output at the terminals before rounding, the battery holding `battery_ah`.
    struct Output {
        double volts = 0;
        double amps = 0;
        Regulation regulation = Regulation::kConstantVoltage;
    };
    Output OutputAt(double battery_ah) const;
    double BatteryVolts(double battery_ah) const;

    bool ExecuteStep(std::string_view command);
    bool ExecuteSetting(std::string_view command);
    bool ExecuteValue(std::string_view mnemonic, std::string_view argument);

    void SetVoltageLimit(long long volts);
    void SetCurrentLimit(long long centiamps);
    void SetPowerLimit(long long watts);
    void StepSetPoint(long long delta);
    void StepVoltageLimit(int delta);
    void StepCurrentLimit(int delta);
    void StepPowerLimit(int delta);
    static void StepWithin(int& value, int delta, int low, int high);

    int MaxPowerLimit() const;

    const Model& model_;
    Settings settings_;
    double load_ohms_;
    std::optional<Battery> battery_;
    double battery_ah_ = 0; // the charge the battery has taken
    double clock_seconds_ = 0;
    double charge_ah_ = 0; // delivered at the output, to any load
    double energy_wh_ = 0;
};

} // namespace zrm_sim
