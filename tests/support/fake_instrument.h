// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the panel behind remote control: a connected ZRM-522 whose
// settings live in plain members, and the command lines that the panel would
// put on the wire for each operation, built with the real command builders.
// For the tests of the SCPI layer and its fuzzer, which must not reach the
// window.
#pragma once

#include "instrument.h"
#include "supply_commands.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

class FakeInstrument : public Instrument {
public:
    bool idle = true;
    QString model = QStringLiteral("ZRM-522");
    bool lost = false;
    bool editOpen = false;
    float maxVoltage = 40;
    float maxCurrent = 5;
    float maxPower = 200;
    float values[4] = {5, 40, 5, 200}; // in the order of Setting
    bool output = false;
    bool fine = false;
    bool locked = false;
    bool overTemperature = false;
    std::optional<SupplyReading> last = SupplyReading{5, 0, 0, 5, 200};
    std::optional<SupplyReading> fresh = SupplyReading{4.99f, 0.499f, 2.5f, 5, 200};
    int reconnects = 0;
    mutable int idleChecks = 0; // how often the server asked
    QStringList wire;           // what the panel would have sent, in order

    float& At(Setting setting) { return values[static_cast<int>(setting)]; }
    float At(Setting setting) const { return values[static_cast<int>(setting)]; }

    bool Idle() const override {
        ++idleChecks;
        return idle;
    }
    QString Model() const override { return model; }
    bool LinkLost() const override { return lost; }
    bool EditOpen() const override { return editOpen; }
    float Value(Setting setting) const override { return At(setting); }

    SettingRange Allowed(Setting setting) const override {
        switch (setting) {
        case Setting::VoltageSet:
            return {0, At(Setting::VoltageLimit), 0.01f};
        case Setting::VoltageLimit:
            return {1, maxVoltage, 1};
        case Setting::CurrentLimit:
            return {0.02f, maxCurrent, 0.01f};
        case Setting::PowerLimit:
            return {1, std::min(maxPower, maxCurrent * At(Setting::VoltageLimit)), 1};
        }
        return {};
    }

    void Set(Setting setting, float value) override {
        At(setting) = value;
        // The supply pulls its set-point down to a lower voltage limit.
        At(Setting::VoltageSet) = std::min(At(Setting::VoltageSet), At(Setting::VoltageLimit));
        static const SetValue kSet[] = {SetValue::VoltageSet, SetValue::VoltageLimit,
                                        SetValue::CurrentLimit, SetValue::PowerLimit};
        const float most[] = {maxVoltage, maxVoltage, maxCurrent, maxPower};
        const auto row = static_cast<int>(setting);
        wire << SetCommand(kSet[row], value, most[row]);
    }

    bool StepSetpoint(int direction) override {
        const float candidate =
            At(Setting::VoltageSet) + static_cast<float>(direction) * SetpointStep();
        if (candidate < 0 || candidate > At(Setting::VoltageLimit)) {
            return false;
        }
        At(Setting::VoltageSet) = candidate;
        wire << StepCommand(StepValue::VoltageSet, direction);
        return true;
    }

    float SetpointStep() const override { return fine ? 0.01f : 1.0f; }
    bool OutputOn() const override { return output; }
    void ToggleOutput() override {
        output = !output;
        wire << QString(KeyCommand::ToggleOutput);
    }
    bool FineMode() const override { return fine; }
    void SetFineMode(bool value) override {
        fine = value;
        wire << QString(value ? KeyCommand::FineStep : KeyCommand::NormalStep);
    }
    bool Locked() const override { return locked; }
    void SetLocked(bool value) override { locked = value; }
    void Reconnect() override { ++reconnects; }

    std::optional<SupplyReading> Measure() override {
        wire << QString(Query::Status);
        if (fresh) {
            last = fresh;
        }
        return fresh;
    }
    std::optional<SupplyReading> LastReading() const override { return last; }
    bool OverTemperature() const override { return overTemperature; }

    QList<double> lists[3]; // in the order of ListValue
    int listCount = 1;
    QList<double> List(ListValue value) const override { return lists[static_cast<int>(value)]; }
    void SetList(ListValue value, const QList<double>& values) override {
        lists[static_cast<int>(value)] = values;
    }
    int ListCount() const override { return listCount; }
    void SetListCount(int count) override { listCount = count; }
};
