// SPDX-License-Identifier: GPL-3.0-or-later
#include "trend_window.h"
#include "trend_plot.h"
#include "trend_texts.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

namespace {

// The monitor polls once a second.
constexpr qint64 kPollMs = 1000;

// A view longer than an hour names the day too.
constexpr qint64 kHourMs = 3'600'000;

// A reading, or a dash where the supply sent no number.
QString Reading(float value, int decimals) {
    return std::isnan(value) ? QString(TrendText::NoValue) : QString::number(value, 'f', decimals);
}

} // namespace

TrendWindow::TrendWindow(const TrendRing& ring, const TrendClock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), ring_(ring), clock_(clock), view_(ring) {
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
    limits = new QCheckBox(TrendText::AlwaysLimits, this);
    limits->setObjectName(QStringLiteral("limits"));
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
    controls->addWidget(limits);
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

    moveOn_.setSingleShot(true);
    connect(&moveOn_, &QTimer::timeout, this, [this] {
        if (!paused_ && isVisible()) {
            Redraw();
        }
    });
    connect(range, &QComboBox::currentIndexChanged, this, &TrendWindow::Redraw);
    connect(pause, &QPushButton::clicked, this, &TrendWindow::TogglePause);
    connect(limits, &QCheckBox::toggled, this, &TrendWindow::Redraw);
    Redraw();
    ShowNewest();
}

TrendWindow::Plot TrendWindow::MakePlot(const QString& title, TrendValue value,
                                        std::optional<TrendValue> limit, QColor colour) {
    auto* chart = new QChart;
    Plot plot{value, limit, chart, nullptr, new QDateTimeAxis, new QValueAxis, nullptr};
    chart->setTitle(title);
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->addAxis(plot.time, Qt::AlignBottom);
    chart->addAxis(plot.axis, Qt::AlignLeft);
    plot.plot = new TrendPlot(chart, colour);
    plot.view = new QChartView(chart, this);
    plot.view->setRenderHint(QPainter::Antialiasing);
    plot.view->setMinimumHeight(140);
    return plot;
}

void TrendWindow::SampleAdded() {
    ShowNewest();
    if (paused_ || !isVisible()) {
        return;
    }
    // A view whose buckets are wider than a poll moves by less than a bucket
    // per poll: it waits for a whole one.
    if (view_.BucketMs() <= kPollMs || clock_.NowMs() - view_.ToMs() >= view_.BucketMs()) {
        Redraw();
    }
}

void TrendWindow::ShowLogging(const QString& path) {
    logging->setText(QString(TrendText::LoggingTo).arg(path));
    logging->setVisible(!path.isEmpty());
}

const TrendWindow::Plot* TrendWindow::PlotOf(TrendValue value) const {
    for (const Plot& plot : plots_) {
        if (plot.value == value) {
            return &plot;
        }
    }
    return nullptr;
}

int TrendWindow::PieceCount(TrendValue value) const {
    return static_cast<int>(view_.Trace(value).Starts().size());
}

bool TrendWindow::ShowsLimit(TrendValue value) const {
    return PlotOf(value)->plot->ShowsLimit();
}

QChartView* TrendWindow::ChartView(TrendValue value) const {
    return PlotOf(value)->view;
}

QPoint TrendWindow::ViewPosition(TrendValue value, qint64 ms, double reading) const {
    const Plot& plot = *PlotOf(value);
    return plot.view->mapFromScene(plot.plot->ScenePosition(static_cast<double>(ms), reading));
}

QValueAxis* TrendWindow::ValueAxis(TrendValue value) const {
    return PlotOf(value)->axis;
}

QDateTimeAxis* TrendWindow::TimeAxis(TrendValue value) const {
    return PlotOf(value)->time;
}

void TrendWindow::TogglePause() {
    paused_ = !paused_;
    pausedAtMs_ = clock_.NowMs();
    pause->setText(paused_ ? TrendText::Resume : TrendText::Pause);
    if (!paused_) {
        Redraw();
    }
}

qint64 TrendWindow::SpanMs() const {
    return range->currentData().toLongLong();
}

void TrendWindow::Redraw() {
    ++redraws_;
    view_.Rebuild(SpanMs(), paused_ ? pausedAtMs_ : clock_.NowMs());
    for (Plot& plot : plots_) {
        DrawPlot(plot);
    }
    // Without readings the time axis still moves on, by a poll or a bucket.
    moveOn_.start(static_cast<int>(std::max(view_.BucketMs(), kPollMs) + kPollMs / 2));
}

void TrendWindow::DrawPlot(Plot& plot) {
    const qint64 fromMs = view_.FromMs();
    const qint64 toMs = view_.ToMs();
    const TrendTrace& values = view_.Trace(plot.value);
    const auto extent = values.Extent(fromMs, toMs);
    const TrendTrace* limit = plot.limit ? &view_.Trace(*plot.limit) : nullptr;
    const auto limitExtent =
        limit != nullptr ? limit->Extent(fromMs, toMs) : std::optional<std::pair<double, double>>();
    const bool showLimit =
        limitExtent &&
        (limits->isChecked() ||
         (extent && LimitInReach(limitExtent->first, extent->first, extent->second)));
    std::optional<std::pair<double, double>> shown = extent;
    if (showLimit) {
        shown = shown ? std::pair(std::min(shown->first, limitExtent->first),
                                  std::max(shown->second, limitExtent->second))
                      : limitExtent;
    }
    // Without readings in view the axis keeps its ends.
    if (shown) {
        const AxisFit fit = FitAxis(shown->first, shown->second);
        plot.axis->setRange(fit.min, fit.max);
        plot.axis->setTickCount(fit.ticks);
        const QString format = QStringLiteral("%.%1f").arg(fit.decimals);
        if (plot.axis->labelFormat() != format) {
            plot.axis->setLabelFormat(format);
        }
    }
    const QString timeFormat =
        toMs - fromMs > kHourMs ? QStringLiteral("dd hh:mm") : QStringLiteral("hh:mm:ss");
    if (plot.time->format() != timeFormat) {
        plot.time->setFormat(timeFormat);
    }
    plot.time->setRange(QDateTime::fromMSecsSinceEpoch(fromMs),
                        QDateTime::fromMSecsSinceEpoch(toMs));
    plot.plot->Show(&values, showLimit ? limit : nullptr, fromMs, toMs, plot.axis->min(),
                    plot.axis->max());
}

void TrendWindow::ShowNewest() {
    if (ring_.Empty()) {
        return;
    }
    const TrendSample& s = ring_.Back();
    newest->setText(
        QString(TrendText::Newest)
            .arg(QDateTime::fromMSecsSinceEpoch(s.ms).toString(QStringLiteral("hh:mm:ss")),
                 Reading(s.voltage, 2), Reading(s.current, 3), Reading(s.power, 1),
                 Reading(s.currentLimit, 2), Reading(s.powerLimit, 0)));
}
