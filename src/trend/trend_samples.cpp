// SPDX-License-Identifier: GPL-3.0-or-later
#include "trend_samples.h"

#include <QDateTime>
#include <limits>

std::optional<TrendSample> SampleFromStatus(const StatusLine& status, qint64 ms) {
    if (status.outputOn != 1) {
        return std::nullopt;
    }
    const auto number = [](const StatusField& field) {
        return field.plain.value_or(std::numeric_limits<float>::quiet_NaN());
    };
    TrendSample sample;
    sample.ms = ms;
    sample.voltage = number(status.voltage);
    sample.current = number(status.current);
    sample.power = number(status.power);
    sample.currentLimit = number(status.currentLimit);
    sample.powerLimit = number(status.powerLimit);
    return sample;
}

void TrendRing::Append(const TrendSample& sample) {
    ++appended_;
    if (size_ < kCapacity) {
        samples_.push_back(sample);
        ++size_;
        return;
    }
    samples_[static_cast<size_t>(head_)] = sample;
    head_ = (head_ + 1) % kCapacity;
}

const TrendSample& TrendRing::At(qsizetype index) const {
    return samples_[static_cast<size_t>((head_ + index) % kCapacity)];
}

qsizetype TrendRing::FirstAtOrAfter(qint64 ms) const {
    qsizetype low = 0;
    qsizetype high = size_;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (At(middle).ms < ms) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

float ValueOf(const TrendSample& sample, TrendValue value) {
    switch (value) {
    case TrendValue::Voltage:
        return sample.voltage;
    case TrendValue::Current:
        return sample.current;
    case TrendValue::Power:
        return sample.power;
    case TrendValue::CurrentLimit:
        return sample.currentLimit;
    case TrendValue::PowerLimit:
        return sample.powerLimit;
    }
    return 0;
}

TrendClock::TrendClock() : startMs_(QDateTime::currentMSecsSinceEpoch()) {
    elapsed_.start();
}
