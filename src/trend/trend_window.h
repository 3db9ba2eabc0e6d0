// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window: measured voltage, current and power against time, one
// chart each, with the current and power limits as dashed reference lines,
// the newest reading as text and the running log's file.
#pragma once

#include "trend_samples.h"

#include <QColor>
#include <QList>
#include <QWidget>
#include <optional>

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    TrendWindow(const TrendRing& ring, const TrendClock& clock, QWidget* parent);

    // A sample was added: the charts follow unless paused, the text always.
    void SampleAdded();
    // "Logging to <file>", hidden for an empty path.
    void ShowLogging(const QString& path);

    QComboBox* range;
    QPushButton* pause;
    QLabel* newest;
    QLabel* logging;

    // The pieces one chart draws now, for a value; empty when it has none.
    int PieceCount(TrendValue value) const;

private:
    struct Plot {
        TrendValue value;
        std::optional<TrendValue> limit;
        QColor colour;
        QChart* chart;
        QChartView* view;
        QDateTimeAxis* time;
        QValueAxis* axis;
        QList<QLineSeries*> valueLines;
        QList<QLineSeries*> limitLines;
    };

    Plot MakePlot(const QString& title, TrendValue value, std::optional<TrendValue> limit,
                  QColor colour);
    void TogglePause();
    // The start of the view that ends at toMs.
    qint64 FromMs(qint64 toMs) const;
    void Redraw();
    void RedrawPlot(Plot& plot, qint64 fromMs, qint64 toMs);
    // Draws the pieces in the lines of the pool, adding lines as needed and
    // emptying the rest.
    void DrawPieces(Plot& plot, QList<QLineSeries*>& pool, const QList<QList<QPointF>>& pieces,
                    const QPen& pen);
    void ShowNewest();

    const TrendRing& ring_;
    const TrendClock& clock_;
    QList<Plot> plots_;
    bool paused_ = false;
    qint64 pausedAtMs_ = 0;
    qint64 drawnAtMs_ = 0; // the end of the view last drawn
};
