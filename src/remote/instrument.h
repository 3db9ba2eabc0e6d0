// SPDX-License-Identifier: GPL-3.0-or-later
// What remote control asks of the panel, in values: the narrow interface
// between the SCPI commands and the window that owns the serial line. Every
// operation that changes something runs the same rule as the key that does
// the same thing, and the window shows its effect.
#pragma once

#include <QList>
#include <QString>
#include <optional>

// The four values that take a set command.
enum class Setting { VoltageSet, VoltageLimit, CurrentLimit, PowerLimit };

// The smallest and largest value of a setting that the panel's rules allow
// at this moment (the set-point up to the voltage limit, a limit up to the
// model's maximum), and the resolution that the supply takes it in.
struct SettingRange {
    float minimum = 0;
    float maximum = 0;
    float resolution = 0; // 0.01 V, 1 V, 0.01 A, 1 W
};

// One status line of the supply, in numbers.
struct SupplyReading {
    float voltage = 0; // V, measured
    float current = 0; // A, measured
    float power = 0;   // W, measured
    float currentLimit = 0;
    float powerLimit = 0;
};

// The value lists of the LIST subsystem: one value per step of a run, or one
// for every step.
enum class ListValue { Voltage, Current, Dwell };

// Where the last run stands.
struct RunReport {
    enum class State { Idle, Running, Paused, Ending, Ended };
    // How it ended.
    enum class End {
        None,
        Completed,
        Time,
        Current, // the current stayed below its threshold
        VoltageHigh,
        VoltageLow,
        Charge,
        Energy,
        Stopped,   // ABORt, or Stop in the run window
        OutputKey, // OUTPUT on the panel
        LinkLost,
    };
    State state = State::Idle;
    int step = 0; // 1-based; 0 before the first run
    int pass = 0;
    double secondsLeft = 0;
    End end = End::None;
};

// Why INITiate did not start a run.
enum class InitiateResult { Started, NoSupply, Conflict, ListsDiffer, OutOfRange };

class Instrument {
public:
    virtual ~Instrument() = default;

    // No exchange with the supply is under way (no reply awaited, no pause,
    // no connection): a remote command may run now without breaking into
    // one. The panel tells the server when this becomes true again.
    virtual bool Idle() const = 0;

    // The identified model ("ZRM-522"); empty while none is.
    virtual QString Model() const = 0;
    // The supply has stopped answering, or none was found.
    virtual bool LinkLost() const = 0;
    // A limit or percent edit is open on the window, a percent offset is
    // applied, or a run is active: the settings belong to that edit or run
    // until it ends.
    virtual bool EditOpen() const = 0;

    virtual float Value(Setting setting) const = 0;
    virtual SettingRange Allowed(Setting setting) const = 0;
    // Sets the value, which lies within Allowed and on its resolution, as its
    // entry key does.
    virtual void Set(Setting setting, float value) = 0;
    // One step of the set-point up (+1) or down (-1) with the step size in
    // force, as the up and down keys do; false when the step would cross a
    // bound, and then nothing changes.
    virtual bool StepSetpoint(int direction) = 0;
    // V, the step size in force.
    virtual float SetpointStep() const = 0;

    virtual bool OutputOn() const = 0;
    // The output key: switches the output over.
    virtual void ToggleOutput() = 0;
    virtual bool FineMode() const = 0;
    // The F (true) or N (false) key.
    virtual void SetFineMode(bool fine) = 0;
    virtual bool Locked() const = 0;
    // LOCK pressed (true), or held for a long press (false). The lock is of
    // the window's keys: remote commands work whatever it is.
    virtual void SetLocked(bool locked) = 0;
    // REM: connects anew and reads every setting back.
    virtual void Reconnect() = 0;

    // A fresh reading: one status exchange on the line, taken into the panel
    // as a poll is. Nothing when no status line came back.
    virtual std::optional<SupplyReading> Measure() = 0;
    // The reading of the last status line taken (a poll or the connection),
    // without traffic.
    virtual std::optional<SupplyReading> LastReading() const = 0;
    virtual bool OverTemperature() const = 0;

    // ---- Runs and the counters ----
    // A panel without runs (the stand-ins of tests) keeps these: no list is
    // kept and no run starts.
    virtual QList<double> List(ListValue) const { return {}; }
    virtual void SetList(ListValue, const QList<double>&) {}
    virtual int ListCount() const { return 1; }
    virtual void SetListCount(int) {}
    // Starts the lists as a run, its end action the output off; the run's
    // commands then go as the keys' do.
    virtual InitiateResult Initiate() { return InitiateResult::NoSupply; }
    // Ends the run with its end action.
    virtual void Abort() {}
    // OUTPUT's rule during a run: the run ends and the output goes off. False
    // when no run is active.
    virtual bool EndRunOutputOff() { return false; }
    virtual RunReport Report() const { return {}; }
    // The panel's amp-hour and watt-hour counters, and their reset.
    virtual double ChargeAh() const { return 0; }
    virtual double EnergyWh() const { return 0; }
    virtual void ResetCounters() {}
};
