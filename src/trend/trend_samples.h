// SPDX-License-Identifier: GPL-3.0-or-later
// The readings the trend keeps: one sample per status line that a monitor
// poll took, in a ring of bounded size. Qt Core only.
#pragma once

#include "status_line.h"

#include <QElapsedTimer>
#include <QtGlobal>
#include <optional>
#include <vector>

struct TrendSample {
    qint64 ms = 0; // on the trend's own clock: milliseconds since the epoch, never going back
    // NaN where the status line's field was not a plain number: the trend
    // skips that value, as the log leaves its cell empty.
    float voltage = 0;
    float current = 0;
    float power = 0;
    float currentLimit = 0;
    float powerLimit = 0;
    bool startsSegment = false; // no line joins it to the sample before
};

// The measured values of a status line, the voltage from the line itself
// whatever the fine mode shows; nothing when the line says the output is off,
// as the voltage there is the set-point.
std::optional<TrendSample> SampleFromStatus(const StatusLine& status, qint64 ms);

// The newest samples, oldest first; the oldest goes once it is full.
class TrendRing {
public:
    // A day of one-second polls.
    static constexpr qsizetype kCapacity = 86400;

    void Append(const TrendSample& sample);
    qsizetype Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    // 0 is the oldest.
    const TrendSample& At(qsizetype index) const;
    const TrendSample& Back() const { return At(size_ - 1); }
    // The index of the first sample at or after ms (Size() when none is).
    qsizetype FirstAtOrAfter(qint64 ms) const;
    // Every sample appended so far, those that went included: the newest
    // Appended() - n samples came after the first n.
    qint64 Appended() const { return appended_; }

private:
    std::vector<TrendSample> samples_;
    qsizetype head_ = 0; // where the next sample goes once the ring is full
    qsizetype size_ = 0;
    qint64 appended_ = 0;
};

enum class TrendValue { Voltage, Current, Power, CurrentLimit, PowerLimit };

float ValueOf(const TrendSample& sample, TrendValue value);

// The trend's clock: the time of day at its start moved on by a monotonic
// clock, so samples stay in order when the system clock is set back.
class TrendClock {
public:
    TrendClock();
    qint64 NowMs() const { return startMs_ + elapsed_.elapsed(); }

private:
    qint64 startMs_;
    QElapsedTimer elapsed_;
};
