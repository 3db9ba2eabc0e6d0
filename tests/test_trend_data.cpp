// SPDX-License-Identifier: GPL-3.0-or-later
// The trend's samples and the CSV rows, as pure functions: the status line
// read into a sample, the ring's bound, the line pieces a chart draws, the
// value axes that fit the readings, the numbers and rows of the log, and the
// texts of the trend.
#include "csv_log.h"
#include "trend_samples.h"
#include "trend_texts.h"
#include "trend_view.h"

#include <QTest>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

QString StatusPayload(const QString& digits, const QString& voltage = QStringLiteral("12.34")) {
    return voltage + QStringLiteral(" 1.234 015.2 30 2.50 075 ") + digits + u'\n';
}

// Samples at one per second from 0 ms with voltage = index; those in
// `breaks` start a segment, those in `garbled` hold no voltage.
TrendRing Ring(int count, const QList<int>& breaks = {}, const QList<int>& garbled = {}) {
    TrendRing ring;
    for (int i = 0; i < count; ++i) {
        TrendSample sample;
        sample.ms = i * 1000;
        sample.voltage = garbled.contains(i) ? kNaN : static_cast<float>(i);
        sample.startsSegment = breaks.contains(i);
        ring.Append(sample);
    }
    return ring;
}

StatusField Field(const QString& text) {
    return {text, SingleNumber(text), PlainNumber(text)};
}

} // namespace

class TestTrendData : public QObject {
    Q_OBJECT
private slots:
    void sample_data();
    void sample();
    void ringBound();
    void trace_data();
    void trace();
    void appendMatchesRebuild_data();
    void appendMatchesRebuild();
    void axes_data();
    void axes();
    void csvNumber_data();
    void csvNumber();
    void csvRow_data();
    void csvRow();
    void texts_data();
    void texts();
};

void TestTrendData::sample_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("taken");
    // voltage, current, power, current limit, power limit; NaN for none
    QTest::addColumn<QList<float>>("values");

    const QList<float> values{12.34f, 1.234f, 15.2f, 2.5f, 75.0f};
    QTest::newRow("output on") << StatusPayload("110201") << true << values;
    QTest::newRow("output on, fine mode") << StatusPayload("101201") << true << values;
    QTest::newRow("output off") << StatusPayload("010201") << false << values;
    QTest::newRow("no output digit") << StatusPayload("x10201") << false << values;
    QTest::newRow("garbled voltage skipped") << StatusPayload("110201", "1x.34") << true
                                             << QList<float>{kNaN, 1.234f, 15.2f, 2.5f, 75.0f};
}

void TestTrendData::sample() {
    QFETCH(QString, line);
    QFETCH(bool, taken);
    QFETCH(QList<float>, values);

    const auto sample = SampleFromStatus(ParseStatusLine(line), 42);
    QCOMPARE(sample.has_value(), taken);
    if (taken) {
        QCOMPARE(sample->ms, qint64(42));
        const QList<float> read{sample->voltage, sample->current, sample->power,
                                sample->currentLimit, sample->powerLimit};
        for (qsizetype i = 0; i < values.size(); ++i) {
            QVERIFY2(std::isnan(values[i]) ? std::isnan(read[i]) : read[i] == values[i],
                     qPrintable(QString::number(i)));
        }
    }
}

void TestTrendData::ringBound() {
    TrendRing ring = Ring(TrendRing::kCapacity + 5);
    QCOMPARE(ring.Size(), TrendRing::kCapacity);
    QCOMPARE(ring.Appended(), qint64(TrendRing::kCapacity + 5));
    QCOMPARE(ring.At(0).ms, qint64(5000));
    QCOMPARE(ring.Back().ms, qint64(TrendRing::kCapacity + 4) * 1000);
    QCOMPARE(ring.FirstAtOrAfter(4500), qsizetype(0));
    QCOMPARE(ring.FirstAtOrAfter(5001), qsizetype(1));
    QCOMPARE(ring.FirstAtOrAfter(qint64(TrendRing::kCapacity + 5) * 1000), ring.Size());
}

void TestTrendData::trace_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("breaks");
    QTest::addColumn<QList<int>>("garbled");
    QTest::addColumn<qint64>("bucketMs");
    QTest::addColumn<qint64>("dropBefore"); // -1: nothing dropped
    // Per piece: its number of points, first and last x in seconds.
    QTest::addColumn<QList<QList<int>>>("pieces");

    QTest::newRow("one piece") << 10 << QList<int>{} << QList<int>{} << qint64(1000) << qint64(-1)
                               << QList<QList<int>>{{10, 0, 9}};
    QTest::newRow("a gap splits it") << 10 << QList<int>{0, 4} << QList<int>{} << qint64(1000)
                                     << qint64(-1) << QList<QList<int>>{{4, 0, 3}, {6, 4, 9}};
    QTest::newRow("a lone reading between gaps")
        << 10 << QList<int>{3, 4} << QList<int>{} << qint64(1000) << qint64(-1)
        << QList<QList<int>>{{3, 0, 2}, {1, 3, 3}, {6, 4, 9}};
    QTest::newRow("a value that is not a number breaks the line")
        << 10 << QList<int>{} << QList<int>{5} << qint64(1000) << qint64(-1)
        << QList<QList<int>>{{5, 0, 4}, {4, 6, 9}};
    // 100 samples in 5 buckets of 20 s: each keeps its lowest and highest point.
    QTest::newRow("buckets keep low and high")
        << 100 << QList<int>{} << QList<int>{} << qint64(20000) << qint64(-1)
        << QList<QList<int>>{{10, 0, 99}};
    QTest::newRow("gap inside a bucket")
        << 100 << QList<int>{50} << QList<int>{} << qint64(20000) << qint64(-1)
        << QList<QList<int>>{{6, 0, 49}, {6, 50, 99}};
    QTest::newRow("buckets before the view dropped")
        << 10 << QList<int>{0, 4} << QList<int>{} << qint64(1000) << qint64(3000)
        << QList<QList<int>>{{1, 3, 3}, {6, 4, 9}};
    QTest::newRow("a piece cut at the view's start")
        << 100 << QList<int>{} << QList<int>{} << qint64(20000) << qint64(40000)
        << QList<QList<int>>{{6, 40, 99}};
    QTest::newRow("everything dropped") << 10 << QList<int>{} << QList<int>{} << qint64(1000)
                                        << qint64(20000) << QList<QList<int>>{};
}

void TestTrendData::trace() {
    QFETCH(int, count);
    QFETCH(QList<int>, breaks);
    QFETCH(QList<int>, garbled);
    QFETCH(qint64, bucketMs);
    QFETCH(qint64, dropBefore);
    QFETCH(QList<QList<int>>, pieces);

    const TrendRing ring = Ring(count, breaks, garbled);
    TrendTrace trace(TrendValue::Voltage, bucketMs);
    for (qsizetype i = 0; i < ring.Size(); ++i) {
        trace.Add(ring.At(i));
    }
    if (dropBefore >= 0) {
        trace.DropBefore(dropBefore);
    }
    QList<QList<int>> shape;
    for (const auto& piece : trace.Pieces()) {
        shape.append(
            {int(piece.size()), int(piece.first().x() / 1000), int(piece.last().x() / 1000)});
        // Voltage = seconds, so every point lies on the samples' own line.
        for (const QPointF& point : piece) {
            QCOMPARE(point.y() * 1000, point.x());
        }
    }
    QCOMPARE(shape, pieces);
}

void TestTrendData::appendMatchesRebuild_data() {
    QTest::addColumn<qint64>("spanMs"); // 0: all that the ring holds
    QTest::addColumn<int>("count");     // samples, one a second
    QTest::addColumn<QList<int>>("breaks");
    QTest::addColumn<QList<int>>("garbled");
    // The first and the last sample during which the view stands still
    // (paused, or the window hidden); -1: never.
    QTest::addColumn<QList<int>>("held");
    QTest::addColumn<int>("every"); // the view moves on at every so many samples
    QTest::addColumn<int>("mostRebuilds");

    const QList<int> none;
    const QList<int> never{-1, -1};
    QTest::newRow("1 min") << qint64(60'000) << 300 << none << none << never << 1 << 1;
    QTest::newRow("10 min, gaps, lone readings and garbled values")
        << qint64(600'000) << 1500 << QList<int>{100, 101, 400, 700, 701, 702}
        << QList<int>{250, 900} << never << 1 << 1;
    QTest::newRow("1 h, gaps inside its 5 s buckets")
        << qint64(3'600'000) << 9000 << QList<int>{1001, 1003, 4502, 4503, 8000} << QList<int>{2002}
        << never << 1 << 1;
    QTest::newRow("10 min, paused for ten minutes")
        << qint64(600'000) << 2000 << QList<int>{300, 1200} << none << QList<int>{500, 1100} << 1
        << 1;
    QTest::newRow("1 h, hidden for two hours") << qint64(3'600'000) << 12000 << QList<int>{2000}
                                               << none << QList<int>{4000, 11200} << 5 << 1;
    // Its buckets widen as the trend grows: built anew at each width.
    QTest::newRow("all, growing") << qint64(0) << 5000 << QList<int>{1000, 1001} << none << never
                                  << 1 << 16;
    // Once full the ring drops a sample in view at every poll: built anew
    // at each move, about every two minutes like the window, whose first
    // bucket then held samples that went.
    QTest::newRow("all, the ring full") << qint64(0) << int(TrendRing::kCapacity) + 650
                                        << QList<int>{50'000} << none << never << 97 << 40;
}

void TestTrendData::appendMatchesRebuild() {
    QFETCH(qint64, spanMs);
    QFETCH(int, count);
    QFETCH(QList<int>, breaks);
    QFETCH(QList<int>, garbled);
    QFETCH(QList<int>, held);
    QFETCH(int, every);
    QFETCH(int, mostRebuilds);

    TrendRing ring;
    TrendView moved(ring);
    int rebuilds = 0;
    int moves = 0;
    const int checkEvery = std::max(1, count / every / 10);
    for (int i = 0; i < count; ++i) {
        TrendSample sample;
        sample.ms = qint64(i) * 1000;
        sample.voltage = garbled.contains(i) ? kNaN : float(i % 7);
        sample.current = float(i % 3) / 10;
        sample.power = float(i % 11);
        sample.currentLimit = 1;
        sample.powerLimit = float(i / 100);
        sample.startsSegment = breaks.contains(i);
        ring.Append(sample);
        if ((i >= held[0] && i <= held[1]) || (i % every != 0 && i != count - 1)) {
            continue;
        }
        const qint64 toMs = sample.ms + 300;
        rebuilds += moved.Update(spanMs, toMs) ? 1 : 0;
        if (++moves % checkEvery != 0 && i != count - 1) {
            continue;
        }
        TrendView built(ring);
        built.Rebuild(spanMs, toMs);
        QCOMPARE(moved.FromMs(), built.FromMs());
        QCOMPARE(moved.BucketMs(), built.BucketMs());
        for (TrendValue value : {TrendValue::Voltage, TrendValue::Current, TrendValue::Power,
                                 TrendValue::CurrentLimit, TrendValue::PowerLimit}) {
            QCOMPARE(moved.Trace(value).Points(), built.Trace(value).Points());
            QCOMPARE(moved.Trace(value).Starts(), built.Trace(value).Starts());
        }
    }
    QVERIFY2(rebuilds <= mostRebuilds, qPrintable(QString::number(rebuilds)));
}

void TestTrendData::axes_data() {
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("limit"); // the limit's lowest value in view
    // The axis: its ends, its ticks and their decimals.
    QTest::addColumn<QList<double>>("axis");
    QTest::addColumn<bool>("limitInReach");

    QTest::newRow("2.5 to 12.5 W, a 200 W limit far above")
        << 2.5 << 12.5 << 200.0 << QList<double>{0, 15, 4, 0} << false;
    QTest::newRow("current held at its limit")
        << 0.98 << 1.0 << 1.0 << QList<double>{0.975, 1.005, 7, 3} << true;
    QTest::newRow("power within a fifth of its limit")
        << 150.0 << 190.0 << 200.0 << QList<double>{140, 200, 7, 0} << true;
    QTest::newRow("a limit below the readings")
        << 10.0 << 12.0 << 8.0 << QList<double>{9.5, 12.5, 7, 1} << true;
    QTest::newRow("a flat 12 V") << 12.0 << 12.0 << 60.0 << QList<double>{11, 13, 5, 1} << false;
    QTest::newRow("no current, not below zero")
        << 0.0 << 0.0 << 5.0 << QList<double>{0, 0.01, 6, 3} << false;
}

void TestTrendData::axes() {
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, limit);
    QFETCH(QList<double>, axis);
    QFETCH(bool, limitInReach);

    const AxisFit fit = FitAxis(low, high);
    QCOMPARE(fit.min, axis[0]);
    QCOMPARE(fit.max, axis[1]);
    QCOMPARE(fit.ticks, int(axis[2]));
    QCOMPARE(fit.decimals, int(axis[3]));
    QVERIFY(fit.min <= low && fit.max >= high);
    QCOMPARE(LimitInReach(limit, low, high), limitInReach);
}

void TestTrendData::csvNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");

    QTest::newRow("voltage") << QStringLiteral("07.50") << QStringLiteral("7.50");
    QTest::newRow("current") << QStringLiteral("1.234") << QStringLiteral("1.234");
    QTest::newRow("power") << QStringLiteral("015.2") << QStringLiteral("15.2");
    QTest::newRow("whole watts") << QStringLiteral("075") << QStringLiteral("75");
    QTest::newRow("zero") << QStringLiteral("00.00") << QStringLiteral("0.00");
    QTest::newRow("blanks around") << QStringLiteral(" 1.50") << QStringLiteral("1.50");
    QTest::newRow("not a number") << QStringLiteral("x") << QString();
    QTest::newRow("a letter among the digits") << QStringLiteral("0x.00") << QString();
    QTest::newRow("a sign") << QStringLiteral("-1.00") << QString();
    QTest::newRow("blank") << QStringLiteral("     ") << QString();
}

void TestTrendData::csvNumber() {
    QFETCH(QString, text);
    QFETCH(QString, number);
    QCOMPARE(CsvNumber(Field(text)), number);
}

void TestTrendData::csvRow_data() {
    QTest::addColumn<QString>("voltage");
    QTest::addColumn<QString>("row");

    QTest::newRow("whole line") << QStringLiteral("12.34")
                                << QStringLiteral(
                                       "2026-03-04T05:06:07.089+01:00,12.346,12.34,"
                                       "1.234,15.2,2.50,75,ZRM-522,COM1,0.012346,1.500000\n");
    QTest::newRow("garbled voltage")
        << QStringLiteral("1x.34")
        << QStringLiteral("2026-03-04T05:06:07.089+01:00,12.346,,"
                          "1.234,15.2,2.50,75,ZRM-522,COM1,0.012346,1.500000\n");
}

void TestTrendData::csvRow() {
    QFETCH(QString, voltage);
    QFETCH(QString, row);

    const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(3600));
    const StatusLine status = ParseStatusLine(StatusPayload("110201", voltage));
    QCOMPARE(CsvRow(time, 12.3456, status, QStringLiteral("ZRM-522"), QStringLiteral("COM1"),
                    EnergyTotals{0.0123456, 1.5}),
             row);
    QCOMPARE(CsvHeader(), QStringLiteral("time,seconds,voltage (V),current (A),power (W),"
                                         "current limit (A),power limit (W),model,port,"
                                         "charge (Ah),energy (Wh)\n"));
}

// Pinned here once; the trend's window tests take them from trend_texts.h.
void TestTrendData::texts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("window title") << QString(TrendText::WindowTitle) << "ZRM Trend";
    QTest::newRow("show trend") << QString(TrendText::ShowTrend) << "Show trend";
    QTest::newRow("start log") << TrendText::StartLog << QStringLiteral("Start CSV log\u2026");
    QTest::newRow("stop log") << QString(TrendText::StopLog) << "Stop CSV log";
    QTest::newRow("logging to") << QString(TrendText::LoggingTo) << "Logging to %1";
    QTest::newRow("always limits") << QString(TrendText::AlwaysLimits) << "Always show limits";
    QTest::newRow("default range")
        << QString(TrendRange::kChoices[TrendRange::kDefault].name) << "10 min";
}

void TestTrendData::texts() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(text, shown);
}

QTEST_APPLESS_MAIN(TestTrendData)
#include "test_trend_data.moc"
