// SPDX-License-Identifier: GPL-3.0-or-later
// What a run asks of the panel: the values it sets, each through the rule of
// the key that sets it, and whether the line is free for them now. The panel
// implements it; the run knows nothing else of the panel.
#pragma once

#include "run_model.h"

#include <QString>
#include <optional>

class RunSupply {
public:
    virtual ~RunSupply() = default;

    // No exchange with the supply is under way (no reply awaited, no pause,
    // no connection): a command may go now without breaking into one.
    virtual bool Idle() const = 0;
    // Why a run cannot start now (no supply connected, an edit open on the
    // panel); empty when it can.
    virtual QString StartRefusal() const = 0;
    // The connected model's ranges and the voltage limit in force.
    virtual RunLimits Limits() const = 0;
    virtual bool OutputOn() const = 0;
    // The output-voltage set-point in force.
    virtual double VoltageSet() const = 0;

    // As the entry keys set them; each value lies within the panel's range.
    virtual void SetVoltage(double volts) = 0;
    virtual void SetCurrentLimit(double amperes) = 0;
    virtual void SetPowerLimit(double watts) = 0;
    // As OUTPUT does: the output switched over.
    virtual void ToggleOutput() = 0;

    // Milliseconds until the monitor poll's next status exchange; nothing
    // while the poll is off.
    virtual std::optional<qint64> NextPollInMs() const = 0;
    // Moves the poll's next exchange to ms from now; it goes on at its own
    // pace from there.
    virtual void MovePoll(qint64 ms) = 0;
};
