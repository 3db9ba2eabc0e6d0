// SPDX-License-Identifier: GPL-3.0-or-later
#include "trend_plot.h"
#include "trend_view.h"

#include <QChart>
#include <QPainter>
#include <QPolygonF>

namespace {

// A piece narrower than this, in pixels, shows as a dot.
constexpr double kDotWidth = 2;
constexpr double kDotRadius = 1.5;

// Above the chart's grid and axes, where its own series would be.
constexpr qreal kSeriesZ = 4;

} // namespace

TrendPlot::TrendPlot(QChart* chart, QColor colour)
    : QGraphicsItem(chart), area_(chart->plotArea()), valuePen_(colour, 1),
      limitPen_(colour.lighter(150), 1, Qt::DashLine) {
    setZValue(kSeriesZ);
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [this](const QRectF& area) {
        prepareGeometryChange();
        area_ = area;
    });
}

void TrendPlot::Show(const TrendTrace* value, const TrendTrace* limit, qint64 fromMs, qint64 toMs,
                     double low, double high) {
    value_ = value;
    limit_ = limit;
    fromMs_ = static_cast<double>(fromMs);
    toMs_ = static_cast<double>(std::max(toMs, fromMs + 1));
    low_ = low;
    high_ = high > low ? high : low + 1;
    update();
}

QPointF TrendPlot::Position(const QPointF& reading) const {
    return {area_.left() + (reading.x() - fromMs_) * area_.width() / (toMs_ - fromMs_),
            area_.bottom() - (reading.y() - low_) * area_.height() / (high_ - low_)};
}

QPointF TrendPlot::ScenePosition(double ms, double value) const {
    return mapToScene(Position(QPointF(ms, value)));
}

void TrendPlot::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setClipRect(area_);
    if (limit_ != nullptr) {
        DrawTrace(*painter, *limit_, limitPen_);
    }
    if (value_ != nullptr) {
        DrawTrace(*painter, *value_, valuePen_);
    }
    painter->restore();
}

void TrendPlot::DrawTrace(QPainter& painter, const TrendTrace& trace, const QPen& pen) const {
    const QList<QPointF>& points = trace.Points();
    const QList<qsizetype>& starts = trace.Starts();
    QPolygonF line;
    for (qsizetype piece = 0; piece < starts.size(); ++piece) {
        const qsizetype end = piece + 1 < starts.size() ? starts[piece + 1] : points.size();
        line.clear();
        for (qsizetype i = starts[piece]; i < end; ++i) {
            line.append(Position(points[i]));
        }
        if (line.size() > 1) {
            painter.setPen(pen);
            painter.drawPolyline(line);
        }
        if (line.last().x() - line.first().x() < kDotWidth) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(pen.color());
            painter.drawEllipse(line.first(), kDotRadius, kDotRadius);
        }
    }
}
