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
    // Sized once for the widest reading, so that a new one, every second,
    // does not lay the window out again.
    newest = new QLabel(
        QString(TrendText::Newest).arg("00:00:00", "00.00", "0.000", "000.0", "0.00", "000"), this);
    newest->setFixedSize(newest->sizeHint());
    newest->setText(TrendText::NoReading);
    newest->setObjectName(QStringLiteral("newest"));
    newest->setTextInteractionFlags(Qt::TextSelectableByMouse);
    logging = new QLabel(this);
    logging->setObjectName(QStringLiteral("logging"));
    logging->setTextInteractionFlags(Qt::TextSelectableByMouse);
    logging->hide();
    counters = new QLabel(this);
    counters->setObjectName(QStringLiteral("counters"));
    counters->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resetCounters = new QPushButton(TrendText::ResetCounters, this);
    resetCounters->setObjectName(QStringLiteral("resetCounters"));
    ShowCounters({});

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
    auto* counterRow = new QHBoxLayout;
    counterRow->addWidget(counters, 1);
    counterRow->addWidget(resetCounters);
    layout->addLayout(counterRow);
    layout->addWidget(logging);

    moveOn_ = new QTimer(this);
    moveOn_->setObjectName(QStringLiteral("moveOn"));
    moveOn_->setSingleShot(true);
    connect(moveOn_, &QTimer::timeout, this, &TrendWindow::Draw);
    connect(range, &QComboBox::currentIndexChanged, this, &TrendWindow::Draw);
    connect(pause, &QPushButton::clicked, this, &TrendWindow::TogglePause);
    connect(limits, &QCheckBox::toggled, this, &TrendWindow::Draw);
}

TrendWindow::Plot TrendWindow::MakePlot(const QString& title, TrendValue value,
                                        std::optional<TrendValue> limit, QColor colour) {
    auto* chart = new QChart;
    Plot plot{value, limit, chart, nullptr, new QDateTimeAxis, new QValueAxis, nullptr};
    chart->setTitle(title);
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    // Square corners: the background is then a plain rectangle to fill.
    chart->setBackgroundRoundness(0);
    chart->addAxis(plot.time, Qt::AlignBottom);
    chart->addAxis(plot.axis, Qt::AlignLeft);
    plot.plot = new TrendPlot(chart, colour);
    plot.view = new QChartView(chart, this);
    // The grid and the axes are straight lines on whole pixels: only the
    // readings are drawn smooth (TrendPlot), which keeps each frame cheap.
    plot.view->setRenderHint(QPainter::Antialiasing, false);
    plot.view->setMinimumHeight(140);
    return plot;
}

void TrendWindow::SampleAdded() {
    if (!Showing()) {
        return;
    }
    ShowNewest();
    // A view whose buckets are wider than a poll moves by less than a bucket
    // per poll: it waits for a whole one, the new readings beyond its end.
    if (!paused_ &&
        (view_.BucketMs() <= kPollMs || clock_.NowMs() - view_.ToMs() >= view_.BucketMs())) {
        Draw();
    }
}

bool TrendWindow::Showing() const {
    return isVisible() && !isMinimized();
}

void TrendWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!isMinimized()) {
        ShowNewest();
        Draw();
    }
}

void TrendWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    moveOn_->stop();
}

// A window that is minimised and restored gets its state change and a show
// event, in an order that depends on the platform: either one catches up.
void TrendWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (isMinimized()) {
        moveOn_->stop();
    } else if (isVisible()) {
        ShowNewest();
        Draw();
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
    if (paused_) {
        moveOn_->stop();
    } else {
        view_.Invalidate();
        Draw();
    }
}

qint64 TrendWindow::SpanMs() const {
    return range->currentData().toLongLong();
}

void TrendWindow::Draw() {
    if (!Showing()) {
        return;
    }
    ++frames_;
    rebuilds_ += view_.Update(SpanMs(), paused_ ? pausedAtMs_ : clock_.NowMs()) ? 1 : 0;
    for (Plot& plot : plots_) {
        DrawPlot(plot);
    }
    // Without readings the time axis still moves on, by a poll or a bucket.
    if (!paused_) {
        moveOn_->start(static_cast<int>(std::max(view_.BucketMs(), kPollMs) + kPollMs / 2));
    }
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
        // The ticks and their format first: the axis lays its labels out
        // anew when its range changes.
        const AxisFit fit = FitAxis(shown->first, shown->second);
        const QString format = QStringLiteral("%.%1f").arg(fit.decimals);
        if (plot.axis->labelFormat() != format) {
            plot.axis->setLabelFormat(format);
        }
        plot.axis->setTickCount(fit.ticks);
        plot.axis->setRange(fit.min, fit.max);
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

void TrendWindow::ShowCounters(const EnergyTotals& totals) {
    counters->setText(QString(TrendText::Counters)
                          .arg(totals.ampHours, 0, 'f', RunDecimals::Counter)
                          .arg(totals.wattHours, 0, 'f', RunDecimals::Counter));
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
