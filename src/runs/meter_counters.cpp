// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter_counters.h"

MeterCounters::MeterCounters(QObject* parent) : QObject(parent) {
    clock_.start();
}

void MeterCounters::TakeStatus(const StatusLine& status) {
    const std::optional<MeterReading> reading = ReadingFromStatus(status, clock_.elapsed());
    if (!reading) {
        Gap();
        return;
    }
    counter_.Take(*reading);
    emit ReadingTaken(*reading);
    emit Changed(counter_.Totals());
}

void MeterCounters::Gap() {
    counter_.Gap();
    emit GapTaken();
}

void MeterCounters::Reset() {
    counter_.Reset();
    emit Changed(counter_.Totals());
}
