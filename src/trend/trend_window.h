// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window: measured voltage, current and power against time, one
// chart each, with the current and power limits as dashed reference lines
// where they are near the readings (or always, by a toggle), the newest
// reading as text and the running log's file.
#pragma once

#include "run_counters.h"
#include "trend_view.h"

#include <QList>
#include <QTimer>
#include <QWidget>
#include <optional>

class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QPushButton;
class QValueAxis;
class TrendPlot;

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    TrendWindow(const TrendRing& ring, const TrendClock& clock, QWidget* parent);

    // A sample was added: the charts follow unless paused, the text always;
    // nothing is drawn while the window is hidden or minimised, and it
    // catches up when shown.
    void SampleAdded();
    // "Logging to <file>", hidden for an empty path.
    void ShowLogging(const QString& path);
    // The panel's amp-hour and watt-hour counters.
    void ShowCounters(const EnergyTotals& totals);

    QComboBox* range;
    QPushButton* pause;
    QCheckBox* limits;
    QLabel* newest;
    QLabel* logging;
    QLabel* counters;
    QPushButton* resetCounters;

    // What the charts show now; how often they moved on (each time the time
    // axis moves, with the new readings appended), and how often of those
    // they were built anew.
    const TrendView& View() const { return view_; }
    int Frames() const { return frames_; }
    int Rebuilds() const { return rebuilds_; }
    // The pieces a chart draws now, for a value; 0 when it has none.
    int PieceCount(TrendValue value) const;
    // Whether the chart of a measured value draws its limit now.
    bool ShowsLimit(TrendValue value) const;
    // The chart of a measured value, and the point of it where a reading lies.
    QChartView* ChartView(TrendValue value) const;
    QPoint ViewPosition(TrendValue value, qint64 ms, double reading) const;
    QValueAxis* ValueAxis(TrendValue value) const;
    QDateTimeAxis* TimeAxis(TrendValue value) const;

private:
    struct Plot {
        TrendValue value;
        std::optional<TrendValue> limit;
        QChart* chart;
        QChartView* view;
        QDateTimeAxis* time;
        QValueAxis* axis;
        TrendPlot* plot;
    };

    Plot MakePlot(const QString& title, TrendValue value, std::optional<TrendValue> limit,
                  QColor colour);
    const Plot* PlotOf(TrendValue value) const;
    void TogglePause();
    qint64 SpanMs() const;
    // On screen: shown and not minimised.
    bool Showing() const;
    // Moves the charts to now (or the paused instant) and draws them.
    void Draw();
    void DrawPlot(Plot& plot);
    void ShowNewest();
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

    const TrendRing& ring_;
    const TrendClock& clock_;
    TrendView view_;
    QList<Plot> plots_;
    // Moves the time axis on while no readings come.
    QTimer* moveOn_;
    bool paused_ = false;
    qint64 pausedAtMs_ = 0;
    int frames_ = 0;
    int rebuilds_ = 0;
};
