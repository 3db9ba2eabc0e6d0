// SPDX-License-Identifier: GPL-3.0-or-later
// The readings of one chart, drawn over the chart's plot area by one item:
// the value's trace as a line and, when shown, its limit's as a dashed line,
// each broken into its pieces, and a piece too short to be seen as a line
// (a lone reading) as a dot. One item per chart, whatever the number of
// pieces, where a line series per piece would cost redraw time and memory
// for every gap.
#pragma once

#include <QColor>
#include <QGraphicsItem>
#include <QPen>

class QChart;
class TrendTrace;

class TrendPlot : public QGraphicsItem {
public:
    TrendPlot(QChart* chart, QColor colour);

    // What to draw: the value's trace, the limit's (none when null), and the
    // ends of the time and value axes.
    void Show(const TrendTrace* value, const TrendTrace* limit, qint64 fromMs, qint64 toMs,
              double low, double high);
    bool ShowsLimit() const { return limit_ != nullptr; }

    // Where a reading at ms of the given value lies in the chart's scene.
    QPointF ScenePosition(double ms, double value) const;

    QRectF boundingRect() const override { return area_; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QPointF Position(const QPointF& reading) const;
    void DrawTrace(QPainter& painter, const TrendTrace& trace, const QPen& pen) const;

    QRectF area_; // the chart's plot area
    QPen valuePen_;
    QPen limitPen_;
    const TrendTrace* value_ = nullptr;
    const TrendTrace* limit_ = nullptr;
    double fromMs_ = 0;
    double toMs_ = 1;
    double low_ = 0;
    double high_ = 1;
};
