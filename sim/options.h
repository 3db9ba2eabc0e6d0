// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's command line.
#pragma once

#include "supply.h"

#include <optional>
#include <set>
#include <string>

namespace zrm_sim {

struct Faults {
    bool silent = false;
    std::optional<long long> silent_after_replies;
    long long late_ms = 0;
    std::set<std::string> dropped_commands;
    std::optional<long long> truncate_status;
    std::optional<long long> bad_digit_position;
    bool garbage = false;
    unsigned long long seed = 1;
    std::optional<double> unplug_after_seconds;
};

struct Options {
    const Model* model = &DefaultModel();
    std::optional<long long> vset_centivolts;
    std::optional<long long> vlimit_volts;
    std::optional<long long> ilimit_centiamps;
    std::optional<long long> plimit_watts;
    std::optional<long long> plus_percent;
    std::optional<long long> minus_percent;
    bool output_on = false;
    bool fine = false;
    bool locked = false;
    bool overtemp = false;
    double load_ohms = 10.0;
    std::optional<Battery> battery; // in place of the resistive load

    std::string link_path;
    std::string log_path;
    bool exit_on_eof = false;
    bool pacing = true;
    std::optional<long long> latency_ms;
    Faults faults;
    bool help = false;

    // The supply's state at power-up: the given values, the model's maxima for the limits
    // not given.
    Settings InitialSettings() const;
    // The answer latency in force: the given one, else a few ms (none without pacing).
    long long LatencyMs() const;
};

// Fills `options` from the arguments; on a bad argument returns false with a message.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

std::string HelpText();

} // namespace zrm_sim
