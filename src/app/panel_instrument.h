// SPDX-License-Identifier: GPL-3.0-or-later
// The panel as remote control's instrument: each operation runs the panel's
// own rule, the one its key runs, and the window shows the effect as if the
// key had been pressed. The operations that talk to the supply hold the keys
// back while they wait, so that no key's exchange comes between a remote
// command and its reply.
#pragma once

#include "instrument.h"
#include "main_window.h"

#include <QObject>
#include <optional>

class RunControl;

class PanelInstrument : public QObject, public Instrument {
    Q_OBJECT
public:
    explicit PanelInstrument(Form1& panel, QObject* parent = nullptr);

    bool Idle() const override { return panel_.Idle(); }
    QString Model() const override;
    bool LinkLost() const override { return panel_.LinkLost; }
    bool EditOpen() const override;
    float Value(Setting setting) const override;
    SettingRange Allowed(Setting setting) const override;
    void Set(Setting setting, float value) override;
    bool StepSetpoint(int direction) override;
    float SetpointStep() const override;
    bool OutputOn() const override { return panel_.OutputOn == 1; }
    void ToggleOutput() override { panel_.ToggleOutput(); }
    bool FineMode() const override { return panel_.FineMode == 1; }
    void SetFineMode(bool fine) override { panel_.SelectStepSize(fine); }
    bool Locked() const override { return panel_.Locked == 1; }
    void SetLocked(bool locked) override { panel_.LockPanel(locked); }
    void Reconnect() override;
    std::optional<SupplyReading> Measure() override;
    std::optional<SupplyReading> LastReading() const override { return last_; }
    bool OverTemperature() const override { return panel_.OverTemp == 1; }

    // Runs: the lists that INITiate starts, kept for every client, the
    // report of the run and the panel's counters.
    void JoinRuns(RunControl& runs) { runs_ = &runs; }
    QList<double> List(ListValue value) const override;
    void SetList(ListValue value, const QList<double>& values) override;
    int ListCount() const override { return listCount_; }
    void SetListCount(int count) override { listCount_ = count; }
    InitiateResult Initiate() override;
    void Abort() override;
    bool EndRunOutputOff() override;
    RunReport Report() const override;
    double ChargeAh() const override;
    double EnergyWh() const override;
    void ResetCounters() override;

private:
    Form1& panel_;
    // The reading of the last status line that the connection, a poll or a
    // measurement took.
    std::optional<SupplyReading> last_;
    RunControl* runs_ = nullptr;
    QList<double> lists_[3]; // in the order of ListValue
    int listCount_ = 1;
};

// The numbers of a status line, when every field holds a plain number.
std::optional<SupplyReading> ReadingOf(const StatusLine& status);
