// SPDX-License-Identifier: GPL-3.0-or-later
#include "trend_view.h"

#include <algorithm>
#include <cmath>

namespace {

// Buckets across a chart: about one per pixel of a wide window.
constexpr qint64 kMostBuckets = 800;

// An empty trend shows a minute.
constexpr qint64 kMinuteMs = 60'000;

constexpr TrendValue kValues[] = {TrendValue::Voltage, TrendValue::Current, TrendValue::Power,
                                  TrendValue::CurrentLimit, TrendValue::PowerLimit};

// 1, 2 or 5 times a power of ten, the smallest at least x.
double RoundStep(double x) {
    const double power = std::pow(10.0, std::floor(std::log10(x)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (x <= factor * power * (1 + 1e-9)) {
            return factor * power;
        }
    }
    return 10 * power;
}

} // namespace

qint64 BucketMs(qint64 spanMs) {
    static constexpr qint64 kLadder[] = {
        1,         2,         5,          10,         20,         50,      100,
        200,       500,       1'000,      2'000,      5'000,      10'000,  15'000,
        30'000,    60'000,    120'000,    300'000,    600'000,    900'000, 1'800'000,
        3'600'000, 7'200'000, 21'600'000, 43'200'000, 86'400'000,
    };
    const qint64 least = (std::max<qint64>(spanMs, 1) + kMostBuckets - 1) / kMostBuckets;
    for (const qint64 width : kLadder) {
        if (width >= least) {
            return width;
        }
    }
    return least;
}

qint64 BucketStart(qint64 ms, qint64 bucketMs) {
    const qint64 bucket = ms >= 0 ? ms / bucketMs : -((-ms + bucketMs - 1) / bucketMs);
    return bucket * bucketMs;
}

TrendTrace::TrendTrace(TrendValue value, qint64 bucketMs) : value_(value), bucketMs_(bucketMs) {}

void TrendTrace::Break() {
    open_ = 0;
    broken_ = true;
}

void TrendTrace::Add(const TrendSample& sample) {
    const float value = ValueOf(sample, value_);
    if (std::isnan(value)) {
        Break();
        return;
    }
    if (sample.startsSegment) {
        Break();
    }
    const qint64 bucket = BucketStart(sample.ms, bucketMs_);
    const QPointF point(static_cast<double>(sample.ms), value);
    if (open_ > 0 && bucket == bucket_) {
        if (point.y() < low_.y()) {
            low_ = point;
        } else if (point.y() > high_.y()) {
            high_ = point;
        }
        points_.resize(points_.size() - open_);
    } else {
        if (broken_) {
            starts_.append(points_.size());
            broken_ = false;
        }
        bucket_ = bucket;
        low_ = high_ = point;
    }
    const bool lowFirst = low_.x() <= high_.x();
    points_.append(lowFirst ? low_ : high_);
    open_ = 1;
    if (low_.x() != high_.x()) {
        points_.append(lowFirst ? high_ : low_);
        open_ = 2;
    }
}

void TrendTrace::DropBefore(qint64 ms) {
    qsizetype gone = 0;
    while (gone < points_.size() && points_[gone].x() < static_cast<double>(ms)) {
        ++gone;
    }
    if (gone == 0) {
        return;
    }
    points_.remove(0, gone);
    QList<qsizetype> starts;
    if (!points_.isEmpty()) {
        starts.append(0);
    }
    for (const qsizetype start : std::as_const(starts_)) {
        if (start > gone) {
            starts.append(start - gone);
        }
    }
    starts_ = starts;
    if (points_.isEmpty()) {
        Break();
    }
}

QList<QList<QPointF>> TrendTrace::Pieces() const {
    QList<QList<QPointF>> pieces;
    for (qsizetype i = 0; i < starts_.size(); ++i) {
        const qsizetype end = i + 1 < starts_.size() ? starts_[i + 1] : points_.size();
        pieces.append(points_.mid(starts_[i], end - starts_[i]));
    }
    return pieces;
}

std::optional<std::pair<double, double>> TrendTrace::Extent(qint64 fromMs, qint64 toMs) const {
    std::optional<std::pair<double, double>> extent;
    for (const QPointF& point : points_) {
        if (point.x() < static_cast<double>(fromMs) || point.x() > static_cast<double>(toMs)) {
            continue;
        }
        if (!extent) {
            extent.emplace(point.y(), point.y());
        } else {
            extent->first = std::min(extent->first, point.y());
            extent->second = std::max(extent->second, point.y());
        }
    }
    return extent;
}

TrendView::TrendView(const TrendRing& ring) : ring_(ring) {}

qint64 TrendView::FromFor(qint64 spanMs, qint64 toMs) const {
    if (spanMs > 0) {
        return toMs - spanMs;
    }
    return ring_.Empty() ? toMs - kMinuteMs : std::min(ring_.At(0).ms, toMs - 1);
}

void TrendView::Rebuild(qint64 spanMs, qint64 toMs) {
    spanMs_ = spanMs;
    toMs_ = toMs;
    fromMs_ = FromFor(spanMs, toMs);
    bucketMs_ = ::BucketMs(toMs_ - fromMs_);
    for (const TrendValue value : kValues) {
        traces_[static_cast<size_t>(value)] = TrendTrace(value, bucketMs_);
    }
    for (qsizetype i = ring_.FirstAtOrAfter(BucketStart(fromMs_, bucketMs_)); i < ring_.Size();
         ++i) {
        for (TrendTrace& trace : traces_) {
            trace.Add(ring_.At(i));
        }
    }
    taken_ = ring_.Appended();
    dropped_ = ring_.Appended() - ring_.Size();
}

bool TrendView::Update(qint64 spanMs, qint64 toMs) {
    const qint64 fromMs = FromFor(spanMs, toMs);
    const qint64 fresh = ring_.Appended() - taken_;
    // The samples the ring dropped since are older than its oldest; the
    // traces may hold them if they start before it.
    const bool lost = ring_.Appended() - ring_.Size() > dropped_ && !ring_.Empty() &&
                      BucketStart(fromMs_, bucketMs_) <= ring_.At(0).ms;
    if (spanMs != spanMs_ || ::BucketMs(toMs - fromMs) != bucketMs_ || lost ||
        fresh > ring_.Size()) {
        Rebuild(spanMs, toMs);
        return true;
    }
    for (qsizetype i = ring_.Size() - fresh; i < ring_.Size(); ++i) {
        for (TrendTrace& trace : traces_) {
            trace.Add(ring_.At(i));
        }
    }
    for (TrendTrace& trace : traces_) {
        trace.DropBefore(BucketStart(fromMs, bucketMs_));
    }
    fromMs_ = fromMs;
    toMs_ = toMs;
    taken_ = ring_.Appended();
    dropped_ = ring_.Appended() - ring_.Size();
    return false;
}

const TrendTrace& TrendView::Trace(TrendValue value) const {
    return traces_[static_cast<size_t>(value)];
}

AxisFit FitAxis(double low, double high) {
    const double spread = high - low;
    const double margin = spread > 0 ? spread / 10 : std::max(std::abs(high) / 20, 0.01);
    double from = low - margin;
    const double to = high + margin;
    if (low >= 0 && from < 0) {
        from = 0;
    }
    const double step = RoundStep((to - from) / 5);
    AxisFit fit;
    fit.min = std::floor(from / step + 1e-9) * step;
    fit.max = std::ceil(to / step - 1e-9) * step;
    fit.ticks = static_cast<int>(std::lround((fit.max - fit.min) / step)) + 1;
    fit.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    return fit;
}

bool LimitInReach(double limitLow, double low, double high) {
    const double reach = std::max(high - low, std::abs(high) / 5);
    return limitLow <= high + reach;
}
