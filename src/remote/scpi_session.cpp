// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi_session.h"

#include "scpi_parser.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <variant>
#include <vector>

namespace {

// What a command takes after its header.
enum class Takes {
    Nothing,
    Level,       // a value in the setting's unit, MIN, MAX or DEF
    LevelOrStep, // the same, or UP and DOWN
    Bound,       // a query's optional MIN or MAX
    Switch,      // ON, OFF, or a number: 0 is OFF
    Mask,        // a register mask, 0 to 255
    StepSize,    // FINE or NORMal
    Values,      // one or more values in the list's unit, separated by ','
    Count,       // a whole number from 1, MIN or MAX
};

// What a row acts on, for the handlers that serve several rows.
enum class Quantity {
    None,
    VoltageSet,
    VoltageLimit,
    CurrentLimit,
    PowerLimit,
    Voltage, // measured
    Current,
    Power,
    Dwell, // seconds
};

struct Argument {
    enum class Kind { None, Value, Minimum, Maximum, Default, Up, Down, On, Off, Fine, Normal };
    Kind kind = Kind::None;
    double value = 0;     // Value: in volts, amperes, watts; a mask; a count
    QList<double> values; // Values, in volts, amperes, seconds
};

// One message being carried out.
struct Run {
    Instrument& instrument;
    ScpiStatus& status;
    QStringList replies;
    bool failed = false;

    void Fail(int code) {
        status.Report(code);
        failed = true;
    }
    void Reply(const QString& text) { replies.append(text); }
};

using Handler = void (*)(Run&, Quantity, const Argument&);

struct CommandRow {
    QStringView header;
    bool query;
    Takes takes;
    Quantity quantity;
    Handler handler;
};

// SCPI's "not a number": what a reading that could not be taken answers.
const QString kNotANumber = QStringLiteral("9.91E+37");

// A reading with the digits that the supply's status line gives it.
QString FormatReading(Quantity quantity, float value) {
    const int decimals = quantity == Quantity::Current ? 3 : quantity == Quantity::Power ? 1 : 2;
    return QString::number(value, 'f', decimals);
}

// A setting with the digits of its resolution: 0.01 gives two.
QString FormatSetting(double value, const SettingRange& range) {
    const int decimals =
        range.resolution > 0
            ? std::max(0, static_cast<int>(std::lround(-std::log10(range.resolution))))
            : 2;
    return QString::number(value, 'f', decimals);
}

Setting SettingOf(Quantity quantity) {
    switch (quantity) {
    case Quantity::VoltageLimit:
        return Setting::VoltageLimit;
    case Quantity::CurrentLimit:
        return Setting::CurrentLimit;
    case Quantity::PowerLimit:
        return Setting::PowerLimit;
    default:
        return Setting::VoltageSet;
    }
}

float ReadingOf(Quantity quantity, const SupplyReading& reading) {
    switch (quantity) {
    case Quantity::Current:
        return reading.current;
    case Quantity::Power:
        return reading.power;
    default:
        return reading.voltage;
    }
}

// Whether a command may change the panel now. A lost link refuses what needs
// the supply; an open edit owns the settings until ENTER or CE.
bool MayChange(Run& run, bool needsSupply) {
    if (needsSupply && run.instrument.LinkLost()) {
        run.Fail(ScpiError::HardwareError);
        return false;
    }
    if (run.instrument.EditOpen()) {
        run.Fail(ScpiError::SettingsConflict);
        return false;
    }
    return true;
}

QString Flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// ---- Common commands ----

void Identify(Run& run, Quantity, const Argument&) {
    const QString model = run.instrument.Model();
    run.Reply(
        QStringLiteral("zrm-panel,%1,0,%2")
            .arg(model.isEmpty() ? QStringLiteral("unknown") : model, QStringLiteral(ZRM_VERSION)));
}

// A live supply is left as it is, but for its output, which goes off: the
// one state that is safe for whatever hangs on it. A run ends first, with its
// end action.
void Reset(Run& run, Quantity, const Argument&) {
    run.instrument.Abort();
    if (MayChange(run, run.instrument.OutputOn()) && run.instrument.OutputOn()) {
        run.instrument.ToggleOutput();
    }
}

void ClearStatus(Run& run, Quantity, const Argument&) {
    run.status.errors.Clear();
    run.status.eventStatus = 0;
}

void EventStatusQuery(Run& run, Quantity, const Argument&) {
    run.Reply(QString::number(run.status.eventStatus));
    run.status.eventStatus = 0;
}

void SetEventEnable(Run& run, Quantity, const Argument& argument) {
    run.status.eventEnable = static_cast<quint8>(argument.value);
}

void EventEnableQuery(Run& run, Quantity, const Argument&) {
    run.Reply(QString::number(run.status.eventEnable));
}

void SetServiceEnable(Run& run, Quantity, const Argument& argument) {
    run.status.serviceEnable = static_cast<quint8>(argument.value);
}

void ServiceEnableQuery(Run& run, Quantity, const Argument&) {
    run.Reply(QString::number(run.status.serviceEnable));
}

void StatusByteQuery(Run& run, Quantity, const Argument&) {
    run.Reply(QString::number(run.status.StatusByte(!run.replies.isEmpty())));
}

// Commands are carried out one after the other, each complete when the next
// starts: an operation is complete as soon as it is asked about.
void OperationComplete(Run& run, Quantity, const Argument&) {
    constexpr quint8 kOperationComplete = 0x01;
    run.status.eventStatus |= kOperationComplete;
}

void OperationCompleteQuery(Run& run, Quantity, const Argument&) {
    run.Reply(QStringLiteral("1"));
}

void Wait(Run&, Quantity, const Argument&) {}

// 0 when the supply answers a status query.
void SelfTest(Run& run, Quantity, const Argument&) {
    run.Reply(Flag(run.instrument.LinkLost() || !run.instrument.Measure()));
}

// ---- SYSTem ----

void NextError(Run& run, Quantity, const Argument&) {
    run.Reply(run.status.errors.Take());
}

void ErrorCount(Run& run, Quantity, const Argument&) {
    run.Reply(QString::number(run.status.errors.Count()));
}

void Version(Run& run, Quantity, const Argument&) {
    run.Reply(QStringLiteral("1999.0"));
}

// REM: also the way back after a lost link, when an edit left open would
// otherwise refuse it.
void Reconnect(Run& run, Quantity, const Argument&) {
    if (run.instrument.EditOpen() && !run.instrument.LinkLost()) {
        run.Fail(ScpiError::SettingsConflict);
        return;
    }
    run.instrument.Reconnect();
}

void SetLock(Run& run, Quantity, const Argument& argument) {
    if (MayChange(run, false)) {
        run.instrument.SetLocked(argument.kind == Argument::Kind::On);
    }
}

void LockQuery(Run& run, Quantity, const Argument&) {
    run.Reply(Flag(run.instrument.Locked()));
}

void SetStepSize(Run& run, Quantity, const Argument& argument) {
    if (MayChange(run, true)) {
        run.instrument.SetFineMode(argument.kind == Argument::Kind::Fine);
    }
}

void StepSizeQuery(Run& run, Quantity, const Argument&) {
    run.Reply(run.instrument.FineMode() ? QStringLiteral("FINE") : QStringLiteral("NORM"));
}

// ---- SOURce and OUTPut ----

// The settings' values lie on their resolution, the one they go to the
// supply in: a value is rounded to it (half away from zero), and the bounds
// are the outermost values on it within the range.
double OnResolution(double value, const SettingRange& range) {
    return range.resolution > 0 ? std::round(value / range.resolution) * range.resolution : value;
}

double Least(const SettingRange& range) {
    constexpr double kSlack = 1e-6; // of a step: 0.02 / 0.01 is not exactly 2
    return range.resolution > 0
               ? std::ceil(range.minimum / range.resolution - kSlack) * range.resolution
               : range.minimum;
}

double Most(const SettingRange& range) {
    constexpr double kSlack = 1e-6;
    return range.resolution > 0
               ? std::floor(range.maximum / range.resolution + kSlack) * range.resolution
               : range.maximum;
}

// A value the panel's rules do not allow now is refused, never brought into
// range: a script must learn that its value was not taken.
void SetLevel(Run& run, Quantity quantity, const Argument& argument) {
    if (!MayChange(run, true)) {
        return;
    }
    const Setting setting = SettingOf(quantity);
    if (argument.kind == Argument::Kind::Up || argument.kind == Argument::Kind::Down) {
        if (!run.instrument.StepSetpoint(argument.kind == Argument::Kind::Up ? +1 : -1)) {
            run.Fail(ScpiError::DataOutOfRange);
        }
        return;
    }
    const SettingRange range = run.instrument.Allowed(setting);
    double value = OnResolution(argument.value, range);
    switch (argument.kind) {
    case Argument::Kind::Minimum:
        value = Least(range);
        break;
    case Argument::Kind::Maximum:
        value = Most(range);
        break;
    case Argument::Kind::Default:
        // The set-point's default is the safe one, the limits' the supply's own.
        value = setting == Setting::VoltageSet ? Least(range) : Most(range);
        break;
    default:
        break;
    }
    // Compared in single precision, as the panel keeps its values; a value
    // equal to a bound passes.
    const auto single = static_cast<float>(value);
    if (!std::isfinite(single) || single < range.minimum || single > range.maximum) {
        run.Fail(ScpiError::DataOutOfRange);
        return;
    }
    run.instrument.Set(setting, single);
}

void LevelQuery(Run& run, Quantity quantity, const Argument& argument) {
    const Setting setting = SettingOf(quantity);
    const SettingRange range = run.instrument.Allowed(setting);
    double value = run.instrument.Value(setting);
    if (argument.kind == Argument::Kind::Minimum) {
        value = Least(range);
    } else if (argument.kind == Argument::Kind::Maximum) {
        value = Most(range);
    }
    run.Reply(FormatSetting(static_cast<float>(value), range));
}

void SetpointStepQuery(Run& run, Quantity, const Argument&) {
    run.Reply(
        FormatSetting(run.instrument.SetpointStep(), run.instrument.Allowed(Setting::VoltageSet)));
}

// The supply only switches its output over; the panel knows which way.
void SetOutput(Run& run, Quantity, const Argument& argument) {
    const bool on = argument.kind == Argument::Kind::On;
    // The way out of a run is never refused, as OUTPUT on the panel.
    if (!on && run.instrument.EndRunOutputOff()) {
        return;
    }
    if (MayChange(run, true) && run.instrument.OutputOn() != on) {
        run.instrument.ToggleOutput();
    }
}

void OutputQuery(Run& run, Quantity, const Argument&) {
    run.Reply(Flag(run.instrument.OutputOn()));
}

// ---- MEASure, FETCh, STATus ----

void Measure(Run& run, Quantity quantity, const Argument&) {
    const std::optional<SupplyReading> reading =
        run.instrument.LinkLost() ? std::nullopt : run.instrument.Measure();
    if (!reading) {
        run.Reply(kNotANumber);
        run.Fail(ScpiError::HardwareError);
        return;
    }
    run.Reply(FormatReading(quantity, ReadingOf(quantity, *reading)));
}

void Fetch(Run& run, Quantity quantity, const Argument&) {
    if (run.instrument.LinkLost()) {
        run.Reply(kNotANumber);
        run.Fail(ScpiError::HardwareError);
        return;
    }
    const std::optional<SupplyReading> reading = run.instrument.LastReading();
    if (!reading) {
        run.Reply(kNotANumber);
        run.Fail(ScpiError::DataStale);
        return;
    }
    run.Reply(FormatReading(quantity, ReadingOf(quantity, *reading)));
}

// The supply reports no regulation mode; the reading shows it. A current at
// its limit, to the last digit that the limit is set in, is constant current;
// a power at its limit within half a watt (the limit is set in whole watts,
// read in tenths) is constant power. Either holds the voltage below its
// set-point.
void QuestionableCondition(Run& run, Quantity, const Argument&) {
    constexpr int kVoltage = 1;
    constexpr int kCurrent = 2;
    constexpr int kPower = 8;
    constexpr int kTemperature = 16;
    constexpr float kCurrentAtLimit = 0.01f;
    constexpr float kPowerAtLimit = 0.5f;
    int bits = run.instrument.OverTemperature() ? kTemperature : 0;
    const std::optional<SupplyReading> reading = run.instrument.LastReading();
    if (reading && run.instrument.OutputOn() && !run.instrument.LinkLost()) {
        if (reading->currentLimit > 0 &&
            reading->current >= reading->currentLimit - kCurrentAtLimit) {
            bits |= kCurrent | kVoltage;
        }
        if (reading->powerLimit > 0 && reading->power >= reading->powerLimit - kPowerAtLimit) {
            bits |= kPower | kVoltage;
        }
    }
    run.Reply(QString::number(bits));
}

// ---- LIST, INITiate, ABORt and the counters ----

// A run has at most this many steps; a longer list is refused.
constexpr qsizetype kMostListValues = 1000;
constexpr int kMostListCount = 1'000'000;

ListValue ListOf(Quantity quantity) {
    switch (quantity) {
    case Quantity::CurrentLimit:
        return ListValue::Current;
    case Quantity::Dwell:
        return ListValue::Dwell;
    default:
        return ListValue::Voltage;
    }
}

// A new list takes effect at the next INITiate; a run under way keeps its own.
// Set-points and limits lie on their resolution as a single set's do; their
// bounds are checked at INITiate, against the limits in force then.
void SetList(Run& run, Quantity quantity, const Argument& argument) {
    if (argument.values.size() > kMostListValues) {
        run.Fail(ScpiError::TooMuchData);
        return;
    }
    QList<double> values = argument.values;
    const SettingRange range = run.instrument.Allowed(SettingOf(quantity));
    if (quantity != Quantity::Dwell && range.resolution > 0) {
        // In hundredths counted whole, so that 5 stays 5.00 and passes the
        // run's check of its decimals, which the float resolution would spoil.
        const double perUnit = std::round(1 / range.resolution);
        for (double& value : values) {
            value = std::round(value * perUnit) / perUnit;
        }
    }
    run.instrument.SetList(ListOf(quantity), values);
}

void ListQuery(Run& run, Quantity quantity, const Argument&) {
    const int decimals = quantity == Quantity::Dwell ? 3 : 2;
    QStringList values;
    for (double value : run.instrument.List(ListOf(quantity))) {
        values.append(QString::number(value, 'f', decimals));
    }
    run.Reply(values.join(u','));
}

void SetListCount(Run& run, Quantity, const Argument& argument) {
    switch (argument.kind) {
    case Argument::Kind::Minimum:
        run.instrument.SetListCount(1);
        return;
    case Argument::Kind::Maximum:
        run.instrument.SetListCount(kMostListCount);
        return;
    default:
        break;
    }
    const double count = argument.value;
    if (!(count >= 1 && count <= kMostListCount) || count != std::floor(count)) {
        run.Fail(ScpiError::DataOutOfRange);
        return;
    }
    run.instrument.SetListCount(static_cast<int>(count));
}

void ListCountQuery(Run& run, Quantity, const Argument&) {
    run.Reply(QString::number(run.instrument.ListCount()));
}

void Initiate(Run& run, Quantity, const Argument&) {
    switch (run.instrument.Initiate()) {
    case InitiateResult::Started:
        return;
    case InitiateResult::NoSupply:
        run.Fail(ScpiError::HardwareError);
        return;
    case InitiateResult::Conflict:
        run.Fail(ScpiError::SettingsConflict);
        return;
    case InitiateResult::ListsDiffer:
        run.Fail(ScpiError::ListsNotSameLength);
        return;
    case InitiateResult::OutOfRange:
        run.Fail(ScpiError::DataOutOfRange);
        return;
    }
}

void Abort(Run& run, Quantity, const Argument&) {
    run.instrument.Abort();
}

QString StateWord(RunReport::State state) {
    switch (state) {
    case RunReport::State::Idle:
        return QStringLiteral("IDLE");
    case RunReport::State::Running:
    case RunReport::State::Ending:
        return QStringLiteral("RUN");
    case RunReport::State::Paused:
        return QStringLiteral("PAUS");
    case RunReport::State::Ended:
        return QStringLiteral("END");
    }
    return {};
}

QString EndWord(RunReport::End end) {
    switch (end) {
    case RunReport::End::None:
        return QStringLiteral("NONE");
    case RunReport::End::Completed:
        return QStringLiteral("COMP");
    case RunReport::End::Time:
        return QStringLiteral("TIME");
    case RunReport::End::Current:
        return QStringLiteral("CURR");
    case RunReport::End::VoltageHigh:
        return QStringLiteral("VHIG");
    case RunReport::End::VoltageLow:
        return QStringLiteral("VLOW");
    case RunReport::End::Charge:
        return QStringLiteral("CHAR");
    case RunReport::End::Energy:
        return QStringLiteral("ENER");
    case RunReport::End::Stopped:
        return QStringLiteral("STOP");
    case RunReport::End::OutputKey:
        return QStringLiteral("OUTP");
    case RunReport::End::LinkLost:
        return QStringLiteral("LINK");
    }
    return {};
}

// "RUN,2,1,7.500,NONE": the state, the step and pass in progress or reached,
// the seconds to the schedule's end and how the run ended.
void ListStateQuery(Run& run, Quantity, const Argument&) {
    const RunReport report = run.instrument.Report();
    run.Reply(QStringLiteral("%1,%2,%3,%4,%5")
                  .arg(StateWord(report.state))
                  .arg(report.step)
                  .arg(report.pass)
                  .arg(report.secondsLeft, 0, 'f', 3)
                  .arg(EndWord(report.end)));
}

void CounterQuery(Run& run, Quantity quantity, const Argument&) {
    constexpr int kCounterDecimals = 6;
    const double value =
        quantity == Quantity::Current ? run.instrument.ChargeAh() : run.instrument.EnergyWh();
    run.Reply(QString::number(value, 'f', kCounterDecimals));
}

void ResetCounters(Run& run, Quantity, const Argument&) {
    run.instrument.ResetCounters();
}

// ---- The table ----

constexpr QStringView kVoltageLevel = u"[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]";
constexpr QStringView kVoltageLimit = u"[SOURce:]VOLTage:LIMit";
constexpr QStringView kCurrentLevel = u"[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]";
constexpr QStringView kPowerLevel = u"[SOURce:]POWer[:LEVel][:IMMediate][:AMPLitude]";

const CommandRow kCommands[] = {
    {u"*IDN", true, Takes::Nothing, Quantity::None, Identify},
    {u"*RST", false, Takes::Nothing, Quantity::None, Reset},
    {u"*CLS", false, Takes::Nothing, Quantity::None, ClearStatus},
    {u"*ESR", true, Takes::Nothing, Quantity::None, EventStatusQuery},
    {u"*ESE", false, Takes::Mask, Quantity::None, SetEventEnable},
    {u"*ESE", true, Takes::Nothing, Quantity::None, EventEnableQuery},
    {u"*SRE", false, Takes::Mask, Quantity::None, SetServiceEnable},
    {u"*SRE", true, Takes::Nothing, Quantity::None, ServiceEnableQuery},
    {u"*STB", true, Takes::Nothing, Quantity::None, StatusByteQuery},
    {u"*OPC", false, Takes::Nothing, Quantity::None, OperationComplete},
    {u"*OPC", true, Takes::Nothing, Quantity::None, OperationCompleteQuery},
    {u"*WAI", false, Takes::Nothing, Quantity::None, Wait},
    {u"*TST", true, Takes::Nothing, Quantity::None, SelfTest},
    {u"SYSTem:ERRor[:NEXT]", true, Takes::Nothing, Quantity::None, NextError},
    {u"SYSTem:ERRor:COUNt", true, Takes::Nothing, Quantity::None, ErrorCount},
    {u"SYSTem:VERSion", true, Takes::Nothing, Quantity::None, Version},
    {u"SYSTem:REConnect", false, Takes::Nothing, Quantity::None, Reconnect},
    {u"SYSTem:KLOCk[:STATe]", false, Takes::Switch, Quantity::None, SetLock},
    {u"SYSTem:KLOCk[:STATe]", true, Takes::Nothing, Quantity::None, LockQuery},
    {u"SYSTem:STEP", false, Takes::StepSize, Quantity::None, SetStepSize},
    {u"SYSTem:STEP", true, Takes::Nothing, Quantity::None, StepSizeQuery},
    {kVoltageLevel, false, Takes::LevelOrStep, Quantity::VoltageSet, SetLevel},
    {kVoltageLevel, true, Takes::Bound, Quantity::VoltageSet, LevelQuery},
    {u"[SOURce:]VOLTage[:LEVel][:IMMediate]:STEP[:INCRement]", true, Takes::Nothing, Quantity::None,
     SetpointStepQuery},
    {kVoltageLimit, false, Takes::Level, Quantity::VoltageLimit, SetLevel},
    {kVoltageLimit, true, Takes::Bound, Quantity::VoltageLimit, LevelQuery},
    {kCurrentLevel, false, Takes::Level, Quantity::CurrentLimit, SetLevel},
    {kCurrentLevel, true, Takes::Bound, Quantity::CurrentLimit, LevelQuery},
    {kPowerLevel, false, Takes::Level, Quantity::PowerLimit, SetLevel},
    {kPowerLevel, true, Takes::Bound, Quantity::PowerLimit, LevelQuery},
    {u"OUTPut[:STATe]", false, Takes::Switch, Quantity::None, SetOutput},
    {u"OUTPut[:STATe]", true, Takes::Nothing, Quantity::None, OutputQuery},
    {u"MEASure[:SCALar][:VOLTage][:DC]", true, Takes::Nothing, Quantity::Voltage, Measure},
    {u"MEASure[:SCALar]:CURRent[:DC]", true, Takes::Nothing, Quantity::Current, Measure},
    {u"MEASure[:SCALar]:POWer[:DC]", true, Takes::Nothing, Quantity::Power, Measure},
    {u"FETCh[:SCALar][:VOLTage][:DC]", true, Takes::Nothing, Quantity::Voltage, Fetch},
    {u"FETCh[:SCALar]:CURRent[:DC]", true, Takes::Nothing, Quantity::Current, Fetch},
    {u"FETCh[:SCALar]:POWer[:DC]", true, Takes::Nothing, Quantity::Power, Fetch},
    {u"STATus:QUEStionable:CONDition", true, Takes::Nothing, Quantity::None, QuestionableCondition},
    {u"[SOURce:]LIST:VOLTage[:LEVel]", false, Takes::Values, Quantity::VoltageSet, SetList},
    {u"[SOURce:]LIST:VOLTage[:LEVel]", true, Takes::Nothing, Quantity::VoltageSet, ListQuery},
    {u"[SOURce:]LIST:CURRent[:LEVel]", false, Takes::Values, Quantity::CurrentLimit, SetList},
    {u"[SOURce:]LIST:CURRent[:LEVel]", true, Takes::Nothing, Quantity::CurrentLimit, ListQuery},
    {u"[SOURce:]LIST:DWELl", false, Takes::Values, Quantity::Dwell, SetList},
    {u"[SOURce:]LIST:DWELl", true, Takes::Nothing, Quantity::Dwell, ListQuery},
    {u"[SOURce:]LIST:COUNt", false, Takes::Count, Quantity::None, SetListCount},
    {u"[SOURce:]LIST:COUNt", true, Takes::Nothing, Quantity::None, ListCountQuery},
    {u"[SOURce:]LIST:STATe", true, Takes::Nothing, Quantity::None, ListStateQuery},
    {u"INITiate[:IMMediate]", false, Takes::Nothing, Quantity::None, Initiate},
    {u"ABORt", false, Takes::Nothing, Quantity::None, Abort},
    {u"FETCh[:SCALar]:CHARge", true, Takes::Nothing, Quantity::Current, CounterQuery},
    {u"FETCh[:SCALar]:ENERgy", true, Takes::Nothing, Quantity::Power, CounterQuery},
    {u"SENSe:ACCumulate:RESet", false, Takes::Nothing, Quantity::None, ResetCounters},
};

const std::vector<HeaderPattern>& Patterns() {
    static const std::vector<HeaderPattern> patterns = [] {
        std::vector<HeaderPattern> built;
        for (const CommandRow& row : kCommands) {
            built.emplace_back(row.header);
        }
        return built;
    }();
    return patterns;
}

const CommandRow* FindRow(const QStringList& header, bool query) {
    const std::vector<HeaderPattern>& patterns = Patterns();
    for (size_t i = 0; i < patterns.size(); ++i) {
        if (kCommands[i].query == query && patterns[i].Matches(header)) {
            return &kCommands[i];
        }
    }
    return nullptr;
}

// ---- Parameters ----

std::optional<double> UnitScale(Quantity quantity, const QString& unit) {
    if (unit.isEmpty()) {
        return 1.0;
    }
    const bool volts = quantity == Quantity::VoltageSet || quantity == Quantity::VoltageLimit;
    const bool amperes = quantity == Quantity::CurrentLimit;
    if ((volts && unit == u"V") || (amperes && unit == u"A") ||
        (quantity == Quantity::PowerLimit && unit == u"W")) {
        return 1.0;
    }
    if (quantity == Quantity::Dwell && unit == u"S") {
        return 1.0;
    }
    if ((volts && unit == u"MV") || (amperes && unit == u"MA") ||
        (quantity == Quantity::Dwell && unit == u"MS")) {
        return 1e-3;
    }
    return std::nullopt;
}

struct WordRow {
    QStringView keyword;
    Argument::Kind kind;
};

// The word's meaning among those a parameter takes; None when it is not one.
Argument::Kind WordKind(const QString& word, std::initializer_list<WordRow> words) {
    for (const WordRow& row : words) {
        if (MatchesKeyword(word, row.keyword)) {
            return row.kind;
        }
    }
    return Argument::Kind::None;
}

using Kind = Argument::Kind;
constexpr WordRow kBoundWords[] = {{u"MINimum", Kind::Minimum}, {u"MAXimum", Kind::Maximum}};

std::variant<Argument, int> TakeLevel(const CommandRow& row, const ScpiParameter& parameter) {
    if (parameter.kind == ScpiParameter::Kind::Number) {
        const std::optional<double> scale = UnitScale(row.quantity, parameter.word);
        if (!scale) {
            return ScpiError::InvalidSuffix;
        }
        return Argument{Kind::Value, parameter.number * *scale, {}};
    }
    if (parameter.kind == ScpiParameter::Kind::Word) {
        Kind kind =
            WordKind(parameter.word, {kBoundWords[0], kBoundWords[1], {u"DEFault", Kind::Default}});
        if (kind == Kind::None && row.takes == Takes::LevelOrStep) {
            kind = WordKind(parameter.word, {{u"UP", Kind::Up}, {u"DOWN", Kind::Down}});
        }
        if (kind != Kind::None) {
            return Argument{kind, 0, {}};
        }
    }
    return ScpiError::DataTypeError;
}

std::variant<Argument, int> TakeSwitch(const ScpiParameter& parameter) {
    if (parameter.kind == ScpiParameter::Kind::Number) {
        if (!parameter.word.isEmpty()) {
            return ScpiError::InvalidSuffix;
        }
        return Argument{std::lround(parameter.number) != 0 ? Kind::On : Kind::Off, 0, {}};
    }
    if (parameter.kind == ScpiParameter::Kind::Word) {
        const Kind kind = WordKind(parameter.word, {{u"ON", Kind::On}, {u"OFF", Kind::Off}});
        if (kind != Kind::None) {
            return Argument{kind, 0, {}};
        }
    }
    return ScpiError::DataTypeError;
}

std::variant<Argument, int> TakeMask(const ScpiParameter& parameter) {
    if (parameter.kind != ScpiParameter::Kind::Number) {
        return ScpiError::DataTypeError;
    }
    if (!parameter.word.isEmpty()) {
        return ScpiError::InvalidSuffix;
    }
    const double mask = std::nearbyint(parameter.number);
    if (!(mask >= 0 && mask <= 255)) {
        return ScpiError::DataOutOfRange;
    }
    return Argument{Kind::Value, mask, {}};
}

// A list's values, each a number in the list's unit.
std::variant<Argument, int> TakeValues(const CommandRow& row,
                                       const QList<ScpiParameter>& parameters) {
    Argument argument{Kind::Value, 0, {}};
    for (const ScpiParameter& parameter : parameters) {
        if (parameter.kind != ScpiParameter::Kind::Number) {
            return ScpiError::DataTypeError;
        }
        const std::optional<double> scale = UnitScale(row.quantity, parameter.word);
        if (!scale) {
            return ScpiError::InvalidSuffix;
        }
        argument.values.append(parameter.number * *scale);
    }
    return argument;
}

std::variant<Argument, int> TakeCount(const ScpiParameter& parameter) {
    if (parameter.kind != ScpiParameter::Kind::Number) {
        return ScpiError::DataTypeError;
    }
    if (!parameter.word.isEmpty()) {
        return ScpiError::InvalidSuffix;
    }
    return Argument{Kind::Value, parameter.number, {}};
}

// The parameters converted to what the row takes, or why they are not.
std::variant<Argument, int> TakeArgument(const CommandRow& row,
                                         const QList<ScpiParameter>& parameters) {
    const bool optional = row.takes == Takes::Nothing || row.takes == Takes::Bound;
    if (parameters.isEmpty()) {
        return optional ? std::variant<Argument, int>(Argument{})
                        : std::variant<Argument, int>(ScpiError::MissingParameter);
    }
    if (row.takes == Takes::Values) {
        return TakeValues(row, parameters);
    }
    if (parameters.size() > 1 || row.takes == Takes::Nothing) {
        return ScpiError::ParameterNotAllowed;
    }
    const ScpiParameter& parameter = parameters.front();
    switch (row.takes) {
    case Takes::Level:
    case Takes::LevelOrStep:
        return TakeLevel(row, parameter);
    case Takes::Bound:
        if (parameter.kind == ScpiParameter::Kind::Word) {
            const Kind kind = WordKind(parameter.word, {kBoundWords[0], kBoundWords[1]});
            if (kind != Kind::None) {
                return Argument{kind, 0, {}};
            }
        }
        return ScpiError::DataTypeError;
    case Takes::Switch:
        return TakeSwitch(parameter);
    case Takes::Mask:
        return TakeMask(parameter);
    case Takes::StepSize:
        if (parameter.kind == ScpiParameter::Kind::Word) {
            const Kind kind =
                WordKind(parameter.word, {{u"FINE", Kind::Fine}, {u"NORMal", Kind::Normal}});
            if (kind != Kind::None) {
                return Argument{kind, 0, {}};
            }
        }
        return ScpiError::DataTypeError;
    case Takes::Count:
        if (parameter.kind == ScpiParameter::Kind::Word) {
            const Kind kind = WordKind(parameter.word, {kBoundWords[0], kBoundWords[1]});
            if (kind != Kind::None) {
                return Argument{kind, 0, {}};
            }
            return ScpiError::DataTypeError;
        }
        return TakeCount(parameter);
    case Takes::Nothing:
    case Takes::Values:
        break;
    }
    return ScpiError::ParameterNotAllowed;
}

struct Command {
    const CommandRow* row;
    Argument argument;
};

// The commands of a message with their arguments, or the first error. A
// header without a leading ':' continues the path of the command before it
// (its header without the last node); one that is undefined there is taken
// from the root, as "SYST:ERR?;SYST:ERR?" means. Common commands leave the
// path alone.
std::variant<std::vector<Command>, int> Resolve(const QList<ScpiUnit>& units) {
    std::vector<Command> commands;
    QStringList path;
    for (const ScpiUnit& unit : units) {
        const CommandRow* row = nullptr;
        if (unit.common) {
            row = FindRow({QStringLiteral("*") + unit.mnemonics.front()}, unit.query);
        } else {
            QStringList header = unit.absolute ? unit.mnemonics : path + unit.mnemonics;
            row = FindRow(header, unit.query);
            if (row == nullptr && !unit.absolute && !path.isEmpty()) {
                header = unit.mnemonics;
                row = FindRow(header, unit.query);
            }
            path = header.mid(0, header.size() - 1);
        }
        if (row == nullptr) {
            return ScpiError::UndefinedHeader;
        }
        auto argument = TakeArgument(*row, unit.parameters);
        if (const int* error = std::get_if<int>(&argument)) {
            return *error;
        }
        commands.push_back({row, std::get<Argument>(argument)});
    }
    return commands;
}

} // namespace

void ScpiStatus::Report(int code) {
    errors.Push(code);
    // The event status bits of the error classes: command, execution,
    // device-dependent and query errors.
    if (code <= -100 && code > -200) {
        eventStatus |= 0x20;
    } else if (code <= -200 && code > -300) {
        eventStatus |= 0x10;
    } else if (code <= -300 && code > -400) {
        eventStatus |= 0x08;
    } else if (code <= -400 && code > -500) {
        eventStatus |= 0x04;
    }
}

quint8 ScpiStatus::StatusByte(bool replyWaiting) const {
    constexpr quint8 kErrorQueued = 0x04;
    constexpr quint8 kMessageAvailable = 0x10;
    constexpr quint8 kEventSummary = 0x20;
    constexpr quint8 kRequestService = 0x40;
    quint8 byte = 0;
    if (errors.Count() > 0) {
        byte |= kErrorQueued;
    }
    if (replyWaiting) {
        byte |= kMessageAvailable;
    }
    if ((eventStatus & eventEnable) != 0) {
        byte |= kEventSummary;
    }
    if ((byte & serviceEnable & ~kRequestService) != 0) {
        byte |= kRequestService;
    }
    return byte;
}

QString ScpiSession::Run(const ScpiMessage& message) {
    if (message.tooLong) {
        status_.Report(ScpiError::TooMuchData);
        return {};
    }
    auto units = ParseMessage(message.text);
    if (const int* error = std::get_if<int>(&units)) {
        status_.Report(*error);
        return {};
    }
    auto commands = Resolve(std::get<QList<ScpiUnit>>(units));
    if (const int* error = std::get_if<int>(&commands)) {
        status_.Report(*error);
        return {};
    }
    ::Run run{instrument_, status_, {}, false};
    for (const Command& command : std::get<std::vector<Command>>(commands)) {
        if (run.failed && !command.row->query) {
            continue;
        }
        command.row->handler(run, command.row->quantity, command.argument);
    }
    return run.replies.join(u';');
}
