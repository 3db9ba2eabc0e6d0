// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "fixed_point.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <string_view>

namespace zrm_sim {

namespace {

constexpr long long kDefaultSetPointCentivolts = 500;
constexpr long long kDefaultLatencyMs = 5;

struct OptionRule {
    bool takes_value;
    // Stores the value; returns false when it is not acceptable.
    std::function<bool(Options&, const std::string&)> apply;
};

std::function<bool(Options&, const std::string&)> Fixed(std::optional<long long> Options::*field,
                                                        int decimals) {
    return [field, decimals](Options& options, const std::string& text) {
        const std::optional<long long> value = ParseFixed(text, decimals);
        if (!value || *value < 0) {
            return false;
        }
        options.*field = value;
        return true;
    };
}

std::function<bool(Options&, const std::string&)> Flag(bool Options::*field) {
    return [field](Options& options, const std::string&) {
        options.*field = true;
        return true;
    };
}

std::optional<long long> Count(const std::string& text) {
    const std::optional<long long> value = ParseFixed(text, 0);
    if (!value || *value < 0 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> PositiveReal(const std::string& text, bool allow_zero) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0 ||
        (value == 0 && !allow_zero)) {
        return std::nullopt;
    }
    return value;
}

std::set<std::string> SplitCommands(const std::string& text) {
    std::set<std::string> commands;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        if (comma > start) {
            commands.insert(text.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return commands;
}

const std::map<std::string, OptionRule>& OptionTable() {
    static const std::map<std::string, OptionRule> table{
        {"--help", {false, Flag(&Options::help)}},
        {"--model",
         {true,
          [](Options& o, const std::string& v) { return (o.model = FindModel(v)) != nullptr; }}},
        {"--vset", {true, Fixed(&Options::vset_centivolts, 2)}},
        {"--vlimit", {true, Fixed(&Options::vlimit_volts, 0)}},
        {"--ilimit", {true, Fixed(&Options::ilimit_centiamps, 2)}},
        {"--plimit", {true, Fixed(&Options::plimit_watts, 0)}},
        {"--plus", {true, Fixed(&Options::plus_percent, 0)}},
        {"--minus", {true, Fixed(&Options::minus_percent, 0)}},
        {"--output-on", {false, Flag(&Options::output_on)}},
        {"--fine", {false, Flag(&Options::fine)}},
        {"--locked", {false, Flag(&Options::locked)}},
        {"--overtemp", {false, Flag(&Options::overtemp)}},
        {"--load-ohms",
         {true,
          [](Options& o, const std::string& v) {
              const std::optional<double> ohms = PositiveReal(v, false);
              o.load_ohms = ohms.value_or(0);
              return ohms.has_value();
          }}},
        {"--battery",
         {true, [](Options& o,
                   const std::string& v) { return (o.battery = ParseBattery(v)).has_value(); }}},
        {"--link",
         {true, [](Options& o, const std::string& v) { return !(o.link_path = v).empty(); }}},
        {"--log",
         {true, [](Options& o, const std::string& v) { return !(o.log_path = v).empty(); }}},
        {"--exit-on-eof", {false, Flag(&Options::exit_on_eof)}},
        {"--no-pacing",
         {false,
          [](Options& o, const std::string&) {
              o.pacing = false;
              return true;
          }}},
        {"--latency-ms",
         {true,
          [](Options& o, const std::string& v) { return (o.latency_ms = Count(v)).has_value(); }}},
        {"--silent",
         {false,
          [](Options& o, const std::string&) {
              o.faults.silent = true;
              return true;
          }}},
        {"--silent-after",
         {true,
          [](Options& o, const std::string& v) {
              return (o.faults.silent_after_replies = Count(v)).has_value();
          }}},
        {"--late-ms",
         {true,
          [](Options& o, const std::string& v) {
              const std::optional<long long> ms = Count(v);
              o.faults.late_ms = ms.value_or(0);
              return ms.has_value();
          }}},
        {"--drop",
         {true,
          [](Options& o, const std::string& v) {
              o.faults.dropped_commands = SplitCommands(v);
              return !o.faults.dropped_commands.empty();
          }}},
        {"--truncate-status",
         {true,
          [](Options& o, const std::string& v) {
              return (o.faults.truncate_status = Count(v)).has_value();
          }}},
        {"--bad-digit",
         {true,
          [](Options& o, const std::string& v) {
              o.faults.bad_digit_position = Count(v);
              return o.faults.bad_digit_position.value_or(0) >= 1;
          }}},
        {"--garbage",
         {false,
          [](Options& o, const std::string&) {
              o.faults.garbage = true;
              return true;
          }}},
        {"--seed",
         {true,
          [](Options& o, const std::string& v) {
              const std::optional<long long> seed = Count(v);
              o.faults.seed = static_cast<unsigned long long>(seed.value_or(0));
              return seed.has_value();
          }}},
        {"--unplug-after",
         {true,
          [](Options& o, const std::string& v) {
              return (o.faults.unplug_after_seconds = PositiveReal(v, true)).has_value();
          }}},
    };
    return table;
}

} // namespace

Settings Options::InitialSettings() const {
    Settings settings;
    settings.vset_centivolts = vset_centivolts.value_or(kDefaultSetPointCentivolts);
    settings.vlimit_volts = static_cast<int>(vlimit_volts.value_or(model->max_volts));
    settings.ilimit_centiamps = static_cast<int>(ilimit_centiamps.value_or(model->max_centiamps));
    settings.plimit_watts = static_cast<int>(plimit_watts.value_or(model->max_watts));
    settings.plus_percent = static_cast<int>(plus_percent.value_or(100));
    settings.minus_percent = static_cast<int>(minus_percent.value_or(100));
    settings.output_on = output_on;
    settings.fine = fine;
    settings.locked = locked;
    settings.overtemp = overtemp;
    return settings;
}

long long Options::LatencyMs() const {
    return latency_ms.value_or(pacing ? kDefaultLatencyMs : 0);
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    const auto& table = OptionTable();
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto found = table.find(name);
        if (found == table.end()) {
            error = "unknown option " + name;
            return false;
        }
        const OptionRule& rule = found->second;
        if (rule.takes_value && !value) {
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!rule.takes_value && value) {
            error = name + " takes no value";
            return false;
        }
        if (!rule.apply(options, value.value_or(""))) {
            error = "bad value for " + name + ": " + value.value_or("");
            return false;
        }
    }
    return true;
}

std::string HelpText() {
    return R"(Usage: zrm-sim [OPTION]...
Simulates a ZRM programmable DC power supply on a pseudo-terminal, so that the
soft front panel (or a test) can talk to it as to the real instrument over
RS-232 at 2400 baud 8N1.

Standard output carries only two kinds of lines: the slave path of the
pseudo-terminal (the first line, and again after each "replug") and the answers
to the "state" control command. Diagnostics go to standard error.

The supply:
  --model NAME        ZRM-711 (60 V 3.5 A 210 W), ZRM-522 (40 V 5 A 200 W,
                      the default) or ZRM-3033 (20 V 9.99 A 199 W)
  --vset V            output-voltage set-point (default 5)
  --vlimit V          voltage limit, whole volts (default the model's maximum)
  --ilimit A          current limit (default the model's maximum)
  --plimit W          power limit, whole watts (default the model's maximum)
  --plus PCT          plus percent offset, 100..150 (default 100)
  --minus PCT         minus percent offset, 50..100 (default 100)
  --output-on         start with the output on
  --fine              start in fine step mode
  --locked            start with the front-panel keys locked
  --overtemp          start in over-temperature
  --load-ohms R       resistive load on the output (default 10)
  --battery EMPTY_V,FULL_V,CAPACITY_AH,R_OHMS
                      a battery on the output in place of the resistive load:
                      a source behind R_OHMS whose voltage rises from EMPTY_V
                      (at the start) to FULL_V with the charge it takes, up to
                      CAPACITY_AH; it takes the current the set-point drives
                      through R_OHMS, within the current and power limits, and
                      none while it is above the set-point
                      (e.g. --battery 11,14.4,0.002,0.5)
  Values outside the model's ranges are brought to the nearest bound.

The line:
  --link PATH         make PATH a symbolic link to the slave (an existing link
                      is replaced); removed again when the simulator ends
  --log FILE          write every received command line to FILE as
                      "<ms> <command>", <ms> being whole milliseconds since the
                      simulator started (monotonic clock); one line per command,
                      flushed at once, e.g. "1234 SV 07.50"
  --exit-on-eof       end when standard input closes
  --no-pacing         send replies at once instead of at the line speed
                      (2400 baud 8N1: 1/240 s per character); also makes the
                      default answer latency 0
  --latency-ms N      delay before a reply starts (default 5)

Faults:
  --silent            answer nothing
  --silent-after N    answer the first N queries, then nothing
  --late-ms N         N ms of extra delay before each reply
  --drop CMD[,CMD]    never answer these commands (e.g. --drop U,B)
  --truncate-status N cut the status payload to N characters, then LF
  --bad-digit POS     put 'x' at 1-based position POS of the status payload
  --garbage           send 1 to 3 random bytes (any value but LF and NUL)
                      before each reply line
  --seed N            seed of the garbage bytes (default 1); equal seeds give
                      equal bytes
  --unplug-after S    after S seconds close the pseudo-terminal, as a pulled
                      USB adapter does, and remove the --link

  --help              show this text and exit

Commands on the line (each ends with CR; LF is ignored, as are empty lines):
  L                   status line: lead 'S', 36 characters, LF
                      "VV.VV I.III PPP.P UU I.II PPP OTFR0K"
                      measured voltage, current and power, voltage, current
                      and power limits, then digits: output on, over-
                      temperature, fine mode, regulation (0 CV, 1 CC, 2 CP), 0,
                      keys locked. With the output off the voltage field shows
                      the set-point and current and power are zero.
  B, D                plus / minus percent offset ("110"); U voltage limit
                      ("40"); I current limit ("2.50")
  SV nn.nn, SU nn, SI n.nn, SP nnn       set the set-point or a limit
  SV+ SV-             set-point by 1 V (0.01 V in fine mode)
  SU+ SU-             voltage limit by 1 V
  SI+ SI-             current limit by 0.1 A (0.01 A in fine mode)
  SP+ SP-             power limit by 1 W
  SB+ SB- SD+ SD-     plus / minus percent offset by one point
  SUM, SIM            voltage / current limit to the model's maximum
  SPM                 all three limits to the model's maxima
  KO                  output on/off; KN, KF normal / fine step size
  A new voltage limit lowers the set-point to it if needed; a new voltage or
  current limit makes the power limit the whole part of their product; a new
  power limit makes the current limit the power limit over the voltage limit
  (down to 0.01 A) plus 0.03 A, at most the model's maximum. A step past a
  bound is ignored. Other commands get no reply.

Control lines on standard input:
  load OHMS           a resistive load of OHMS in place of the load or battery
  battery EMPTY_V,FULL_V,CAPACITY_AH,R_OHMS
                      an empty battery in place of the load (see --battery)
  overtemp 0|1        over-temperature off / on
  locked 0|1          front-panel keys unlocked / locked
  silent 0|1          stop / resume answering (0 also ends --silent-after)
  late MS             extra delay before each reply
  garbage 0|1         random bytes before replies off / on
  unplug              close the pseudo-terminal and remove the --link
  replug              open a new pseudo-terminal, point the --link at it and
                      print its slave path
  state               print the settings as one line of key=value pairs in the
                      status line's formats: "vset=12.00 vlimit=40
                      ilimit=5.00 plimit=200 plus=100 minus=100 output=1
                      fine=0 locked=0 overtemp=0 model=ZRM-522 load=10
                      charge_ah=0.001234 energy_wh=0.014808"; charge_ah and
                      energy_wh are what the output delivered since the start
                      (integrated on the simulator's clock); with a battery
                      load is "battery" and battery_v=12.345 (its voltage
                      without current) follows
  quit                end the simulator

Example:
  zrm-sim --model ZRM-3033 --output-on --link /tmp/zrm-com1 --log /tmp/zrm.log
  ZRM_COM1=/tmp/zrm-com1 zrm-panel
)";
}

} // namespace zrm_sim
