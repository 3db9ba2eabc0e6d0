// SPDX-License-Identifier: GPL-3.0-or-later
// The trend's samples and the CSV rows, as pure functions: the status line
// read into a sample, the ring's bound, the line pieces a chart draws, the
// numbers and rows of the log, and the texts of the trend.
#include "csv_log.h"
#include "trend_samples.h"
#include "trend_texts.h"

#include <QTest>
#include <QTimeZone>

namespace {

QString StatusPayload(const QString& digits) {
    return QStringLiteral("12.34 1.234 015.2 30 2.50 075 ") + digits + u'\n';
}

// Samples at one per second from 0 ms with voltage = index; those in
// `breaks` start a segment.
TrendRing Ring(int count, const QList<int>& breaks = {}) {
    TrendRing ring;
    for (int i = 0; i < count; ++i) {
        TrendSample sample;
        sample.ms = i * 1000;
        sample.voltage = static_cast<float>(i);
        sample.startsSegment = breaks.contains(i);
        ring.Append(sample);
    }
    return ring;
}

} // namespace

class TestTrendData : public QObject {
    Q_OBJECT
private slots:
    void sample_data();
    void sample();
    void ringBound();
    void segments_data();
    void segments();
    void csvNumber_data();
    void csvNumber();
    void csvRow();
    void texts_data();
    void texts();
};

void TestTrendData::sample_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("taken");

    QTest::newRow("output on") << StatusPayload("110201") << true;
    QTest::newRow("output on, fine mode") << StatusPayload("101201") << true;
    QTest::newRow("output off") << StatusPayload("010201") << false;
    QTest::newRow("no output digit") << StatusPayload("x10201") << false;
}

void TestTrendData::sample() {
    QFETCH(QString, line);
    QFETCH(bool, taken);

    const auto sample = SampleFromStatus(ParseStatusLine(line), 42);
    QCOMPARE(sample.has_value(), taken);
    if (taken) {
        QCOMPARE(sample->ms, qint64(42));
        QCOMPARE((QList<float>{sample->voltage, sample->current, sample->power,
                               sample->currentLimit, sample->powerLimit}),
                 (QList<float>{12.34f, 1.234f, 15.2f, 2.5f, 75.0f}));
    }
}

void TestTrendData::ringBound() {
    TrendRing ring = Ring(TrendRing::kCapacity + 5);
    QCOMPARE(ring.Size(), TrendRing::kCapacity);
    QCOMPARE(ring.At(0).ms, qint64(5000));
    QCOMPARE(ring.Back().ms, qint64(TrendRing::kCapacity + 4) * 1000);
    QCOMPARE(ring.FirstAtOrAfter(4500), qsizetype(0));
    QCOMPARE(ring.FirstAtOrAfter(5001), qsizetype(1));
    QCOMPARE(ring.FirstAtOrAfter(qint64(TrendRing::kCapacity + 5) * 1000), ring.Size());
}

void TestTrendData::segments_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("breaks");
    QTest::addColumn<qint64>("fromMs");
    QTest::addColumn<qint64>("toMs");
    QTest::addColumn<int>("buckets");
    // Per piece: its number of points, first and last x in seconds.
    QTest::addColumn<QList<QList<int>>>("pieces");

    QTest::newRow("one piece") << 10 << QList<int>{} << qint64(0) << qint64(9000) << 100
                               << QList<QList<int>>{{10, 0, 9}};
    QTest::newRow("a gap splits it") << 10 << QList<int>{0, 4} << qint64(0) << qint64(9000) << 100
                                     << QList<QList<int>>{{4, 0, 3}, {6, 4, 9}};
    QTest::newRow("only the range") << 10 << QList<int>{} << qint64(2500) << qint64(6000) << 100
                                    << QList<QList<int>>{{4, 3, 6}};
    // 100 samples over 5 buckets of 20 s: each keeps its lowest and highest point.
    QTest::newRow("buckets keep low and high") << 100 << QList<int>{} << qint64(0) << qint64(100000)
                                               << 5 << QList<QList<int>>{{10, 0, 99}};
    QTest::newRow("gap inside a bucket") << 100 << QList<int>{50} << qint64(0) << qint64(100000)
                                         << 5 << QList<QList<int>>{{6, 0, 49}, {6, 50, 99}};
    QTest::newRow("nothing in range")
        << 10 << QList<int>{} << qint64(20000) << qint64(30000) << 100 << QList<QList<int>>{};
}

void TestTrendData::segments() {
    QFETCH(int, count);
    QFETCH(QList<int>, breaks);
    QFETCH(qint64, fromMs);
    QFETCH(qint64, toMs);
    QFETCH(int, buckets);
    QFETCH(QList<QList<int>>, pieces);

    const auto drawn =
        TrendSegments(Ring(count, breaks), TrendValue::Voltage, fromMs, toMs, buckets);
    QList<QList<int>> shape;
    for (const auto& piece : drawn) {
        shape.append(
            {int(piece.size()), int(piece.first().x() / 1000), int(piece.last().x() / 1000)});
        // Voltage = seconds, so every point lies on the samples' own line.
        for (const QPointF& point : piece) {
            QCOMPARE(point.y() * 1000, point.x());
        }
    }
    QCOMPARE(shape, pieces);
}

void TestTrendData::csvNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");

    QTest::newRow("voltage") << QStringLiteral("07.50") << QStringLiteral("7.50");
    QTest::newRow("current") << QStringLiteral("1.234") << QStringLiteral("1.234");
    QTest::newRow("power") << QStringLiteral("015.2") << QStringLiteral("15.2");
    QTest::newRow("whole watts") << QStringLiteral("075") << QStringLiteral("75");
    QTest::newRow("zero") << QStringLiteral("00.00") << QStringLiteral("0.00");
    QTest::newRow("not a number") << QStringLiteral("x") << QStringLiteral("0");
}

void TestTrendData::csvNumber() {
    QFETCH(QString, text);
    QFETCH(QString, number);
    QCOMPARE(CsvNumber(text), number);
}

void TestTrendData::csvRow() {
    const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(3600));
    const StatusLine status = ParseStatusLine(StatusPayload("110201"));
    QCOMPARE(CsvRow(time, 12.3456, status, QStringLiteral("ZRM-522"), QStringLiteral("COM1")),
             QStringLiteral("2026-03-04T05:06:07.089+01:00,12.346,12.34,1.234,15.2,2.50,75,"
                            "ZRM-522,COM1\n"));
    QCOMPARE(CsvHeader().count(u','), 8);
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
