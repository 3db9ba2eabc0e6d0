// SPDX-License-Identifier: GPL-3.0-or-later
// The supply itself: its settings, what each command does to them, and what it measures
// at its output terminals with a resistive load connected.
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
    // The settings as "vset=12.00 vlimit=40 ..." for the control channel.
    std::string StateLine() const;
    Reading Measure() const;

    void SetLoad(double ohms) { load_ohms_ = ohms; }
    void SetOverTemp(bool on) { settings_.overtemp = on; }
    void SetLocked(bool on) { settings_.locked = on; }
    const Settings& settings() const { return settings_; }

private:
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
};

} // namespace zrm_sim
