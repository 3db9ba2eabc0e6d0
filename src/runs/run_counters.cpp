// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_counters.h"

namespace {

constexpr double kMsPerHour = 3'600'000.0;

bool Joined(qint64 fromMs, qint64 toMs) {
    return toMs > fromMs && toMs - fromMs <= kReadingGapMs;
}

} // namespace

std::optional<MeterReading> ReadingFromStatus(const StatusLine& status, qint64 ms) {
    if (status.outputOn != 1 || !status.voltage.plain || !status.current.plain ||
        !status.power.plain) {
        return std::nullopt;
    }
    return MeterReading{ms, *status.voltage.plain, *status.current.plain, *status.power.plain};
}

void EnergyCounter::Take(const MeterReading& reading) {
    if (last_ && Joined(last_->ms, reading.ms)) {
        const double hours = static_cast<double>(reading.ms - last_->ms) / kMsPerHour;
        totals_.ampHours += (last_->current + reading.current) / 2 * hours;
        totals_.wattHours += (last_->power + reading.power) / 2 * hours;
    }
    last_ = reading;
}

void EnergyCounter::Reset() {
    last_.reset();
    totals_ = {};
}

std::optional<StopReason> StopCheck::Take(const MeterReading& reading) {
    counter_.Take(reading);
    if (!lastMs_ || !Joined(*lastMs_, reading.ms)) {
        belowSinceMs_.reset();
    }
    lastMs_ = reading.ms;
    if (stop_.voltageAbove && reading.voltage > *stop_.voltageAbove) {
        return StopReason::VoltageAbove;
    }
    if (stop_.voltageBelow && reading.voltage < *stop_.voltageBelow) {
        return StopReason::VoltageBelow;
    }
    if (stop_.currentBelow) {
        if (reading.current >= stop_.currentBelow->amps) {
            belowSinceMs_.reset();
        } else {
            if (!belowSinceMs_) {
                belowSinceMs_ = reading.ms;
            }
            if (reading.ms - *belowSinceMs_ >= stop_.currentBelow->forMs) {
                return StopReason::CurrentBelow;
            }
        }
    }
    const EnergyTotals totals = counter_.Totals();
    if (stop_.ampHours && totals.ampHours >= *stop_.ampHours) {
        return StopReason::AmpHours;
    }
    if (stop_.wattHours && totals.wattHours >= *stop_.wattHours) {
        return StopReason::WattHours;
    }
    return std::nullopt;
}

void StopCheck::Gap() {
    counter_.Gap();
    lastMs_.reset();
    belowSinceMs_.reset();
}
