// SPDX-License-Identifier: GPL-3.0-or-later
// What the trend window draws, as values: the points of each reading in
// buckets of time, the time in view, and the value axes that fit the
// readings. Qt Core only.
#pragma once

#include "trend_samples.h"

#include <QList>
#include <QPointF>
#include <array>
#include <optional>
#include <utility>

// The width of the buckets that a view of spanMs is cut into: the narrowest
// on a ladder of round widths (1, 2, 5 ms ... 1 s, 2 s, 5 s, 10 s, 15 s,
// 30 s, 1 min, 2 min ...) that keeps the view within a few hundred buckets.
// Buckets are counted from the epoch, so a bucket is the same whichever view
// shows it and however far the view has moved.
qint64 BucketMs(qint64 spanMs);

// The start of the bucket that ms falls in.
qint64 BucketStart(qint64 ms, qint64 bucketMs);

// The points a chart draws of one value. Each bucket keeps its lowest and
// its highest reading in time order, so a day still draws fast and keeps its
// peaks, and a view with a bucket per poll or less keeps every reading. The
// line breaks where a segment starts and where the value is not a number:
// the points fall into pieces.
class TrendTrace {
public:
    explicit TrendTrace(TrendValue value = TrendValue::Voltage, qint64 bucketMs = 1000);

    void Add(const TrendSample& sample);
    // Takes out the points before ms, a bucket's start: whole buckets go.
    void DropBefore(qint64 ms);

    const QList<QPointF>& Points() const { return points_; }
    // The index in Points() of each piece's first point, in order.
    const QList<qsizetype>& Starts() const { return starts_; }
    QList<QList<QPointF>> Pieces() const;
    qint64 BucketMs() const { return bucketMs_; }
    // The lowest and the highest value of the points from fromMs to toMs.
    std::optional<std::pair<double, double>> Extent(qint64 fromMs, qint64 toMs) const;

private:
    void Break();

    TrendValue value_;
    qint64 bucketMs_;
    QList<QPointF> points_; // x in milliseconds since the epoch
    QList<qsizetype> starts_;
    // The newest bucket: its number, its lowest and highest point, and the
    // points it has at the end of points_ (0 once a break closed it).
    qint64 bucket_ = 0;
    QPointF low_;
    QPointF high_;
    qsizetype open_ = 0;
    bool broken_ = true; // the next point starts a piece
};

// The traces of the five values over the time in view.
class TrendView {
public:
    explicit TrendView(const TrendRing& ring);

    // Builds every trace anew from the ring for the span (0 for all that the
    // ring holds) that ends at toMs.
    void Rebuild(qint64 spanMs, qint64 toMs);
    // Moves the view to the span that ends at toMs the short way: the
    // samples that the ring took since are appended and the buckets that are
    // now before the view dropped. It builds anew only where that would not
    // give the same points: after Invalidate, for another span or bucket
    // width, when the ring dropped samples that the traces still hold, or
    // more came than the ring keeps. True when it built anew.
    bool Update(qint64 spanMs, qint64 toMs);
    // The next Update builds anew.
    void Invalidate() { spanMs_ = -1; }

    qint64 SpanMs() const { return spanMs_; }
    qint64 FromMs() const { return fromMs_; }
    qint64 ToMs() const { return toMs_; }
    qint64 BucketMs() const { return bucketMs_; }
    const TrendTrace& Trace(TrendValue value) const;

private:
    // The start of the view of spanMs that ends at toMs; an empty trend shows a minute.
    qint64 FromFor(qint64 spanMs, qint64 toMs) const;

    const TrendRing& ring_;
    std::array<TrendTrace, 5> traces_;
    qint64 spanMs_ = -1;
    qint64 fromMs_ = 0;
    qint64 toMs_ = 0;
    qint64 bucketMs_ = 0;
    // What the traces took of the ring: its Appended() and the samples it
    // had dropped by then.
    qint64 taken_ = 0;
    qint64 dropped_ = 0;
};

// A value axis: its ends, the number of its ticks and the decimals of their labels.
struct AxisFit {
    double min = 0;
    double max = 1;
    int ticks = 2;
    int decimals = 0;
    bool operator==(const AxisFit&) const = default;
};

// The axis for readings from low to high: a margin of a tenth of their spread
// on each side (of a twentieth of the value, at least 0.01, for a flat line),
// not below zero for readings that are not, widened to round steps of 1, 2
// or 5 times a power of ten, about five of them.
AxisFit FitAxis(double low, double high);

// Whether a limit whose lowest value in view is limitLow lies near enough
// the readings from low to high to be drawn with them: no further above the
// highest reading than the readings' spread, or a fifth of the highest
// reading if that is more. A limit at or below the readings always is.
bool LimitInReach(double limitLow, double low, double high);
