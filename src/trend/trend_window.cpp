// SPDX-License-Identifier: GPL-3.0-or-later
#include "trend_window.h"
#include "trend_texts.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace {

// Buckets across a chart: about one per two pixels of a wide window.
constexpr int kBuckets = 800;

// Room above the highest point of a chart.
constexpr double kHeadroom = 1.1;

// An empty trend shows a minute; a view longer than an hour names the day too.
constexpr qint64 kMinuteMs = 60'000;
constexpr qint64 kHourMs = 3'600'000;

double Highest(const QList<QList<QPointF>>& pieces, double atLeast) {
    for (const auto& piece : pieces) {
        for (const QPointF& point : piece) {
            atLeast = std::max(atLeast, point.y());
        }
    }
    return atLeast;
}

} // namespace

TrendWindow::TrendWindow(const TrendRing& ring, const TrendClock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), ring_(ring), clock_(clock) {
    setObjectName(QStringLiteral("TrendWindow"));
    setWindowTitle(TrendText::WindowTitle);
    resize(820, 640);

    range = new QComboBox(this);
    range->setObjectName(QStringLiteral("range"));
    for (const auto& choice : TrendRange::kChoices) {
        range->addItem(choice.name, choice.ms);
    }
    range->setCurrentIndex(TrendRange::kDefault);
    pause = new QPushButton(TrendText::Pause, this);
    pause->setObjectName(QStringLiteral("pause"));
    newest = new QLabel(TrendText::NoReading, this);
    newest->setObjectName(QStringLiteral("newest"));
    newest->setTextInteractionFlags(Qt::TextSelectableByMouse);
    logging = new QLabel(this);
    logging->setObjectName(QStringLiteral("logging"));
    logging->setTextInteractionFlags(Qt::TextSelectableByMouse);
    logging->hide();

    auto* controls = new QHBoxLayout;
    controls->addWidget(range);
    controls->addWidget(pause);
    controls->addWidget(newest, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    plots_ = {
        MakePlot(TrendText::Voltage, TrendValue::Voltage, std::nullopt, QColor(0, 90, 200)),
        MakePlot(TrendText::Current, TrendValue::Current, TrendValue::CurrentLimit,
                 QColor(200, 40, 40)),
        MakePlot(TrendText::Power, TrendValue::Power, TrendValue::PowerLimit, QColor(0, 140, 60)),
    };
    for (const Plot& plot : plots_) {
        layout->addWidget(plot.view, 1);
    }
    layout->addWidget(logging);

    connect(range, &QComboBox::currentIndexChanged, this, &TrendWindow::Redraw);
    connect(pause, &QPushButton::clicked, this, &TrendWindow::TogglePause);
    Redraw();
    ShowNewest();
}

TrendWindow::Plot TrendWindow::MakePlot(const QString& title, TrendValue value,
                                        std::optional<TrendValue> limit, QColor colour) {
    Plot plot{value, limit, colour, new QChart, nullptr, new QDateTimeAxis, new QValueAxis, {}, {}};
    plot.chart->setTitle(title);
    plot.chart->legend()->hide();
    plot.chart->setMargins(QMargins(4, 4, 4, 4));
    plot.chart->addAxis(plot.time, Qt::AlignBottom);
    plot.chart->addAxis(plot.axis, Qt::AlignLeft);
    plot.axis->setLabelFormat(QStringLiteral("%.1f"));
    plot.view = new QChartView(plot.chart, this);
    plot.view->setRenderHint(QPainter::Antialiasing);
    plot.view->setMinimumHeight(140);
    return plot;
}

void TrendWindow::SampleAdded() {
    ShowNewest();
    // A wide view moves by less than a bucket per poll: it waits for a whole one.
    const qint64 bucketMs = (clock_.NowMs() - FromMs(clock_.NowMs())) / kBuckets;
    if (!paused_ && isVisible() && clock_.NowMs() - drawnAtMs_ >= bucketMs) {
        Redraw();
    }
}

void TrendWindow::ShowLogging(const QString& path) {
    logging->setText(QString(TrendText::LoggingTo).arg(path));
    logging->setVisible(!path.isEmpty());
}

int TrendWindow::PieceCount(TrendValue value) const {
    for (const Plot& plot : plots_) {
        if (plot.value == value) {
            return static_cast<int>(
                std::count_if(plot.valueLines.begin(), plot.valueLines.end(),
                              [](QLineSeries* line) { return line->count() > 0; }));
        }
    }
    return 0;
}

void TrendWindow::TogglePause() {
    paused_ = !paused_;
    pausedAtMs_ = clock_.NowMs();
    pause->setText(paused_ ? TrendText::Resume : TrendText::Pause);
    if (!paused_) {
        Redraw();
    }
}

qint64 TrendWindow::FromMs(qint64 toMs) const {
    const qint64 spanMs = range->currentData().toLongLong();
    if (spanMs > 0) {
        return toMs - spanMs;
    }
    return ring_.Empty() ? toMs - kMinuteMs : ring_.At(0).ms;
}

void TrendWindow::Redraw() {
    const qint64 toMs = paused_ ? pausedAtMs_ : clock_.NowMs();
    const qint64 fromMs = FromMs(toMs);
    drawnAtMs_ = toMs;
    for (Plot& plot : plots_) {
        RedrawPlot(plot, fromMs, toMs);
    }
}

void TrendWindow::RedrawPlot(Plot& plot, qint64 fromMs, qint64 toMs) {
    const auto values = TrendSegments(ring_, plot.value, fromMs, toMs, kBuckets);
    DrawPieces(plot, plot.valueLines, values, QPen(plot.colour, 1.5));
    double top = Highest(values, 0);
    if (plot.limit) {
        const auto limits = TrendSegments(ring_, *plot.limit, fromMs, toMs, kBuckets);
        DrawPieces(plot, plot.limitLines, limits,
                   QPen(plot.colour.lighter(150), 1.5, Qt::DashLine));
        top = Highest(limits, top);
    }
    plot.time->setFormat(toMs - fromMs > kHourMs ? QStringLiteral("dd hh:mm")
                                                 : QStringLiteral("hh:mm:ss"));
    plot.time->setRange(QDateTime::fromMSecsSinceEpoch(fromMs),
                        QDateTime::fromMSecsSinceEpoch(toMs));
    plot.axis->setRange(0, top > 0 ? top * kHeadroom : 1);
    plot.axis->applyNiceNumbers();
}

void TrendWindow::DrawPieces(Plot& plot, QList<QLineSeries*>& pool,
                             const QList<QList<QPointF>>& pieces, const QPen& pen) {
    while (pool.size() < pieces.size()) {
        auto* line = new QLineSeries(plot.chart);
        plot.chart->addSeries(line);
        line->attachAxis(plot.time);
        line->attachAxis(plot.axis);
        line->setPen(pen);
        pool.append(line);
    }
    for (qsizetype i = 0; i < pool.size(); ++i) {
        if (i < pieces.size()) {
            pool[i]->replace(pieces[i]);
        } else if (pool[i]->count() > 0) {
            pool[i]->clear();
        }
    }
}

void TrendWindow::ShowNewest() {
    if (ring_.Empty()) {
        return;
    }
    const TrendSample& s = ring_.Back();
    newest->setText(
        QString(TrendText::Newest)
            .arg(QDateTime::fromMSecsSinceEpoch(s.ms).toString(QStringLiteral("hh:mm:ss")))
            .arg(s.voltage, 0, 'f', 2)
            .arg(s.current, 0, 'f', 3)
            .arg(s.power, 0, 'f', 1)
            .arg(s.currentLimit, 0, 'f', 2)
            .arg(s.powerLimit, 0, 'f', 0));
}
