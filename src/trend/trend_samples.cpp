// SPDX-License-Identifier: GPL-3.0-or-later
#include "trend_samples.h"

#include <QDateTime>
#include <algorithm>

std::optional<TrendSample> SampleFromStatus(const StatusLine& status, qint64 ms) {
    if (status.outputOn != 1) {
        return std::nullopt;
    }
    TrendSample sample;
    sample.ms = ms;
    sample.voltage = status.voltage.value;
    sample.current = status.current.value;
    sample.power = status.power.value;
    sample.currentLimit = status.currentLimit.value;
    sample.powerLimit = status.powerLimit.value;
    return sample;
}

void TrendRing::Append(const TrendSample& sample) {
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

namespace {

// Collects one value's points, bucket by bucket: a bucket's lowest and
// highest point in time order, a new piece wherever a segment starts.
class SegmentBuilder {
public:
    explicit SegmentBuilder(TrendValue value) : value_(value) {}

    void Add(const TrendSample& sample, qint64 bucket) {
        if (sample.startsSegment || pieces_.isEmpty()) {
            Flush();
            pieces_.append(QList<QPointF>());
        } else if (bucket != bucket_) {
            Flush();
        }
        bucket_ = bucket;
        const QPointF point(static_cast<double>(sample.ms), ValueOf(sample, value_));
        if (!low_) {
            low_ = high_ = point;
        } else if (point.y() < low_->y()) {
            low_ = point;
        } else if (point.y() > high_->y()) {
            high_ = point;
        }
    }

    QList<QList<QPointF>> Finish() {
        Flush();
        return pieces_;
    }

private:
    void Flush() {
        if (!low_) {
            return;
        }
        QList<QPointF>& piece = pieces_.last();
        const auto [first, second] =
            std::minmax(*low_, *high_, [](QPointF a, QPointF b) { return a.x() < b.x(); });
        piece.append(first);
        if (second != first) {
            piece.append(second);
        }
        low_.reset();
        high_.reset();
    }

    TrendValue value_;
    QList<QList<QPointF>> pieces_;
    qint64 bucket_ = -1;
    std::optional<QPointF> low_;
    std::optional<QPointF> high_;
};

} // namespace

QList<QList<QPointF>> TrendSegments(const TrendRing& ring, TrendValue value, qint64 fromMs,
                                    qint64 toMs, int maxBuckets) {
    const qsizetype first = ring.FirstAtOrAfter(fromMs);
    const qsizetype end = ring.FirstAtOrAfter(toMs + 1);
    // Few enough samples: every one is its own bucket.
    const bool everySample = end - first <= 2 * qsizetype(maxBuckets);
    const qint64 span = std::max<qint64>(toMs - fromMs, 1);
    SegmentBuilder builder(value);
    for (qsizetype index = first; index < end; ++index) {
        const TrendSample& sample = ring.At(index);
        const qint64 bucket = everySample ? index : (sample.ms - fromMs) * maxBuckets / span;
        builder.Add(sample, bucket);
    }
    return builder.Finish();
}

TrendClock::TrendClock() : startMs_(QDateTime::currentMSecsSinceEpoch()) {
    elapsed_.start();
}
