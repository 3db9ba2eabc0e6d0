// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window and the CSV log against zrm-sim: the wire stays as it is,
// rows carry the status line of each poll, gaps break the line, the log's
// failures stop it with a message, a killed panel leaves whole rows, and how
// both are opened (context menu on the Monitor frame, Ctrl+T, Ctrl+L).
#include "panel_checks.h"
#include "sim_panel.h"
#include "trend_controller.h"
#include "trend_texts.h"

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValueAxis>
#include <cmath>
#include <csignal>
#include <sys/resource.h>

namespace {

// What the log holds; empty while there is no file.
QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of the log after its header, none of an empty file.
QStringList Rows(const QString& path) {
    const QStringList lines = QString::fromUtf8(Contents(path)).split(u'\n');
    return lines.mid(1, lines.size() - 2); // nothing after the last line ending
}

// Points the log at path without a dialog, for the life of the object.
class LogFileVariable {
public:
    explicit LogFileVariable(const QString& path) {
        qputenv(TrendController::kLogFileVariable, path.toLocal8Bit());
    }
    ~LogFileVariable() { qunsetenv(TrendController::kLogFileVariable); }
};

// A panel started in a child process logs into argv[2] until it is killed.
int LogUntilKilled(const QString& path) {
    SimPanel s;
    auto* trend = new TrendController(s.panel());
    if (!s.Start({"--output-on"})) {
        return 1;
    }
    trend->StartLog(path);
    return QApplication::exec();
}

constexpr const char* kChildOption = "--log-until-killed";

} // namespace

class TestTrend : public QObject {
    Q_OBJECT
private slots:
    void wireUnchanged_data();
    void wireUnchanged();
    void rowsFollowStatusLine_data();
    void rowsFollowStatusLine();
    void gaps_data();
    void gaps();
    void logBehindTheLostLinkBox();
    void everyReadingDrawn_data();
    void everyReadingDrawn();
    void axesFollowReadings();
    void timeAxisMovesOn();
    void hiddenDrawsNothing_data();
    void hiddenDrawsNothing();
    void logFailures_data();
    void logFailures();
    void killedPanelLeavesWholeRows();
    void contextMenu_data();
    void contextMenu();
    void opening_data();
    void opening();

private:
    QTemporaryDir dir_;
    QStringList plainWire_; // what a session without trend or log sent
};

void TestTrend::wireUnchanged_data() {
    QTest::addColumn<bool>("trendOpen");
    QTest::addColumn<bool>("logging");

    QTest::newRow("trend open") << true << false;
    QTest::newRow("log running") << false << true;
    QTest::newRow("trend open and log running") << true << true;
}

void TestTrend::wireUnchanged() {
    QFETCH(bool, trendOpen);
    QFETCH(bool, logging);

    const QString path = dir_.filePath(QStringLiteral("wire.csv"));
    QFile::remove(path);
    // The same session twice, the second with the trend and the log: polls,
    // a typed set-point, more polls.
    const auto session = [&](bool withTrend) {
        SimPanel s;
        auto* trend = new TrendController(s.panel());
        if (!s.Start({"--output-on"})) {
            return QStringList{"<no connection>"};
        }
        if (withTrend && trendOpen) {
            trend->ShowTrend();
        }
        if (withTrend && logging) {
            trend->StartLog(path);
        }
        const qsizetype polls = PollCount(s.sim());
        if (!WaitForPolls(s.sim(), polls, 2)) {
            return QStringList{"<no polls>"};
        }
        TypeInto(s.panel().txt_v, "7.5");
        Click(s.panel().cmd_v);
        if (!WaitForPolls(s.sim(), polls, 4)) {
            return QStringList{"<no polls after the set-point>"};
        }
        QStringList commands = s.sim().LoggedCommands();
        // Up to the fourth poll after the connection, wherever the sessions stopped.
        qsizetype end = 0;
        for (qsizetype seen = 0; end < commands.size() && seen < polls + 4; ++end) {
            seen += commands[end] == u"L" ? 1 : 0;
        }
        return commands.mid(0, end);
    };
    // The plain session once, for every row.
    if (plainWire_.isEmpty()) {
        plainWire_ = session(false);
    }
    QCOMPARE(plainWire_.count(QStringLiteral("SV 07.50")), 1);
    QCOMPARE(session(true), plainWire_);
    QCOMPARE(Rows(path).isEmpty(), !logging);
}

void TestTrend::rowsFollowStatusLine_data() {
    QTest::addColumn<QStringList>("args");
    // The CSV fields from the voltage to the port.
    QTest::addColumn<QString>("fields");

    QTest::newRow("ZRM-522 constant voltage")
        << QStringList{"--model", "ZRM-522", "--vset", "12", "--load-ohms", "10"}
        << QStringLiteral("12.00,1.200,14.4,5.00,200,ZRM-522,COM1");
    // The power limit follows the voltage and current limits: 60 V x 1 A.
    QTest::newRow("ZRM-711 constant current")
        << QStringList{"--model", "ZRM-711", "--vset", "30", "--ilimit", "1", "--load-ohms", "10"}
        << QStringLiteral("10.00,1.000,10.0,1.00,60,ZRM-711,COM1");
    QTest::newRow("ZRM-3033 constant power")
        << QStringList{"--model", "ZRM-3033", "--vset", "20", "--load-ohms", "2"}
        << QStringLiteral("19.95,9.975,199.0,9.99,199,ZRM-3033,COM1");
    // dis_v keeps the set-point in fine mode; the log has what the supply measured.
    QTest::newRow("fine mode, constant current")
        << QStringList{"--fine", "--vset", "12", "--ilimit", "0.5", "--load-ohms", "10"}
        << QStringLiteral("5.00,0.500,2.5,0.50,20,ZRM-522,COM1");
    // "1x.00": no number is written for the voltage, the rest of the row stays.
    QTest::newRow("garbled voltage")
        << QStringList{"--vset", "12", "--load-ohms", "10", "--bad-digit", "2"}
        << QStringLiteral(",1.200,14.4,5.00,200,ZRM-522,COM1");
}

void TestTrend::rowsFollowStatusLine() {
    QFETCH(QStringList, args);
    QFETCH(QString, fields);

    const QString path = dir_.filePath(QStringLiteral("rows-%1.csv").arg(QTest::currentDataTag()));
    SimPanel s;
    auto* trend = new TrendController(s.panel());
    QVERIFY(s.Start(args << "--output-on"));
    trend->StartLog(path);
    QTRY_VERIFY_WITH_TIMEOUT(Rows(path).size() >= 2, kPollWaitMs);

    QCOMPARE(QString::fromUtf8(Contents(path)).section(u'\n', 0, 0) + u'\n', CsvHeader());
    const QStringList rows = Rows(path);
    double previousSeconds = -1;
    for (const QString& row : rows) {
        const QStringList cells = row.split(u',');
        QCOMPARE(cells.size(), CsvHeader().count(u',') + 1);
        QVERIFY2(QDateTime::fromString(cells[0], Qt::ISODateWithMs).isValid(), qPrintable(row));
        QVERIFY(cells[1].toDouble() > previousSeconds);
        previousSeconds = cells[1].toDouble();
        QCOMPARE(cells.mid(2, 7).join(u','), fields);
    }
    const TrendSample& newest = trend->Ring().Back();
    const QString voltage = fields.section(u',', 0, 0);
    QCOMPARE(std::isnan(newest.voltage), voltage.isEmpty());
    if (!voltage.isEmpty()) {
        QCOMPARE(QString::number(newest.voltage, 'f', 2), voltage);
    }
    QCOMPARE(QString::number(newest.current, 'f', 3), fields.section(u',', 1, 1));
}

void TestTrend::gaps_data() {
    QTest::addColumn<QString>("cause");

    QTest::newRow("output off") << QStringLiteral("output");
    QTest::newRow("silent supply") << QStringLiteral("silent");
    QTest::newRow("reconnection") << QStringLiteral("rem");
}

void TestTrend::gaps() {
    QFETCH(QString, cause);

    SimPanel s;
    auto* trend = new TrendController(s.panel());
    QVERIFY(s.Start({"--output-on"}));
    trend->ShowTrend();
    const TrendRing& ring = trend->Ring();
    QTRY_VERIFY_WITH_TIMEOUT(ring.Size() >= 2, kPollWaitMs);
    QCOMPARE(trend->Window()->PieceCount(TrendValue::Voltage), 1);

    if (cause == u"output") {
        Click(s.panel().cmd_output);
        Click(s.panel().cmd_output);
    } else if (cause == u"silent") {
        QSignalSpy missed(&s.panel(), &Form1::PollMissed);
        s.sim().Control("silent 1");
        QVERIFY(missed.wait(kPollWaitMs));
        s.sim().Control("silent 0");
    } else {
        Click(s.panel().cmd_rem);
    }
    const qsizetype before = ring.Size();
    QTRY_VERIFY_WITH_TIMEOUT(ring.Size() >= before + 2, kPollWaitMs);
    QVERIFY(ring.At(before).startsSegment);
    QVERIFY(!ring.Back().startsSegment);
    for (TrendValue value : {TrendValue::Voltage, TrendValue::Current, TrendValue::Power}) {
        QCOMPARE(trend->Window()->PieceCount(value), 2);
    }
}

// The lost-link box waits for OK while the poll, the trend and the log go on
// behind it. The loss has one box however many polls fail; once the supply
// has answered, a new loss has its own.
void TestTrend::logBehindTheLostLinkBox() {
    const QString path = dir_.filePath(QStringLiteral("lost-link.csv"));
    SimPanel s;
    auto* trend = new TrendController(s.panel());
    QVERIFY(s.Start({"--output-on"}));
    trend->StartLog(path);
    s.boxes().KeepOpen(true);
    QSignalSpy missed(&s.panel(), &Form1::PollMissed);
    s.sim().Control("silent 1");
    QTRY_COMPARE_WITH_TIMEOUT(s.boxes().Count(), 1, 3 * kPollWaitMs);
    const QPointer<QWidget> box = QApplication::activeModalWidget();
    QCOMPARE(s.boxes().Seen().first().text, MessageText::CommunicationError);

    const qsizetype missedAtBox = missed.count();
    QTRY_VERIFY_WITH_TIMEOUT(missed.count() >= missedAtBox + 2, kPollWaitMs);
    s.sim().Control("silent 0");
    const qsizetype rows = Rows(path).size();
    QTRY_VERIFY_WITH_TIMEOUT(Rows(path).size() >= rows + 2, kPollWaitMs);
    QVERIFY(box && box->isVisible());
    QCOMPARE(s.boxes().Count(), 1);
    QCOMPARE(s.panel().StatusText(StatusPanel::Status), StatusPanel1::CommunicationError);

    s.boxes().KeepOpen(false);
    QTRY_VERIFY(box.isNull());
    s.sim().Control("silent 1");
    QTRY_COMPARE_WITH_TIMEOUT(s.boxes().Count(), 2, 3 * kPollWaitMs);
}

void TestTrend::everyReadingDrawn_data() {
    QTest::addColumn<QString>("range");
    QTest::addColumn<int>("gaps"); // between the day's readings before the lone one

    QTest::newRow("10 min") << QStringLiteral("10 min") << 0;
    QTest::newRow("the whole day, after 1000 gaps") << QStringLiteral("All") << 1000;
}

void TestTrend::everyReadingDrawn() {
    QFETCH(QString, range);
    QFETCH(int, gaps);

    // Readings of 12 V, and one of 7 V five minutes ago between two gaps.
    const TrendClock clock;
    const qint64 now = clock.NowMs();
    TrendRing ring;
    const qsizetype count = gaps > 0 ? TrendRing::kCapacity : 600;
    qint64 loneMs = 0;
    for (qsizetype i = 0; i < count; ++i) {
        TrendSample sample;
        sample.ms = now - (count - i) * 1000;
        sample.voltage = 12;
        const bool lone = i == count - 300;
        sample.startsSegment = lone || i == count - 299 || (gaps > 0 && i % (count / gaps) == 0);
        if (lone) {
            sample.voltage = 7;
            loneMs = sample.ms;
        }
        ring.Append(sample);
    }
    TrendWindow window(ring, clock, nullptr);
    const int emptyObjects = int(window.findChildren<QObject*>().size());
    window.range->setCurrentText(range);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.PieceCount(TrendValue::Voltage) >= 3);

    const QImage chart = window.ChartView(TrendValue::Voltage)->grab().toImage();
    const QPoint lone = window.ViewPosition(TrendValue::Voltage, loneMs, 7);
    QVERIFY(chart.rect().contains(lone));
    const QColor drawn = chart.pixelColor(lone);
    QVERIFY2(drawn.blue() > 150 && drawn.red() < 100, qPrintable(drawn.name()));
    // However many gaps, no chart holds more than its own few parts.
    QCOMPARE(int(window.findChildren<QObject*>().size()), emptyObjects);
    for (TrendValue value : {TrendValue::Voltage, TrendValue::Current, TrendValue::Power}) {
        QCOMPARE(window.ChartView(value)->chart()->series().size(), 0);
        const TrendTrace& trace = window.View().Trace(value);
        const qint64 buckets =
            (window.View().ToMs() - window.View().FromMs()) / window.View().BucketMs() + 2;
        QVERIFY(trace.Points().size() <= 2 * (buckets + trace.Starts().size()));
    }
}

void TestTrend::axesFollowReadings() {
    // 1.1 to 1.3 A against a 5 A limit, 13 to 16 W against 200 W.
    const TrendClock clock;
    TrendRing ring;
    for (int i = 0; i < 60; ++i) {
        TrendSample sample;
        sample.ms = clock.NowMs() - (60 - i) * 1000;
        sample.voltage = 12;
        sample.current = 1.1f + 0.2f * float(i % 2);
        sample.power = sample.voltage * sample.current;
        sample.currentLimit = 5;
        sample.powerLimit = 200;
        sample.startsSegment = i == 0;
        ring.Append(sample);
    }
    TrendWindow window(ring, clock, nullptr);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QValueAxis* current = window.ValueAxis(TrendValue::Current);
    const QValueAxis* power = window.ValueAxis(TrendValue::Power);
    QVERIFY2(current->min() >= 1 && current->max() <= 1.5,
             qPrintable(QStringLiteral("%1 %2").arg(current->min()).arg(current->max())));
    QVERIFY2(power->min() >= 10 && power->max() <= 20,
             qPrintable(QStringLiteral("%1 %2").arg(power->min()).arg(power->max())));
    QVERIFY(!window.ShowsLimit(TrendValue::Current));
    QVERIFY(!window.ShowsLimit(TrendValue::Power));

    QTest::mouseClick(window.limits, Qt::LeftButton);
    QVERIFY(window.ShowsLimit(TrendValue::Current));
    QVERIFY(window.ShowsLimit(TrendValue::Power));
    QVERIFY(current->max() >= 5);
    QVERIFY(power->max() >= 200);
}

void TestTrend::timeAxisMovesOn() {
    // No readings come: the time axis still follows the clock.
    const TrendClock clock;
    const TrendRing ring;
    TrendWindow window(ring, clock, nullptr);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QDateTimeAxis* time = window.TimeAxis(TrendValue::Voltage);
    const QDateTime first = time->max();
    QTRY_VERIFY_WITH_TIMEOUT(time->max() > first.addMSecs(1000), kPollWaitMs);
}

void TestTrend::hiddenDrawsNothing_data() {
    QTest::addColumn<bool>("minimised");

    QTest::newRow("hidden") << false;
    QTest::newRow("minimised") << true;
}

void TestTrend::hiddenDrawsNothing() {
    QFETCH(bool, minimised);

    const TrendClock clock;
    TrendRing ring;
    const auto add = [&](int i) {
        TrendSample sample;
        sample.ms = clock.NowMs() - 600'000 + i * 1000;
        sample.voltage = float(i % 5);
        sample.startsSegment = i % 50 == 0;
        ring.Append(sample);
    };
    for (int i = 0; i < 300; ++i) {
        add(i);
    }
    TrendWindow window(ring, clock, nullptr);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int frames = window.Frames();
    const QString newest = window.newest->text();
    if (minimised) {
        window.showMinimized();
    } else {
        window.hide();
    }
    const auto* moveOn = window.findChild<QTimer*>(QStringLiteral("moveOn"));
    for (int i = 300; i < 330; ++i) {
        add(i);
        window.SampleAdded();
    }
    QCOMPARE(window.Frames(), frames);
    QCOMPARE(window.newest->text(), newest);
    QVERIFY(!moveOn->isActive());

    window.showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(window.Frames() > frames, kPollWaitMs);
    QVERIFY(window.newest->text() != newest);
    TrendView built(ring);
    built.Rebuild(window.View().SpanMs(), window.View().ToMs());
    QCOMPARE(window.View().Trace(TrendValue::Voltage).Points(),
             built.Trace(TrendValue::Voltage).Points());
    QCOMPARE(window.View().Trace(TrendValue::Voltage).Starts(),
             built.Trace(TrendValue::Voltage).Starts());
    QCOMPARE(window.View().Trace(TrendValue::Voltage).Points().last().x(), double(ring.Back().ms));
}

void TestTrend::logFailures_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("sizeLimit"); // bytes the file may grow to; 0 for no limit
    // What is removed once the log has a row: "file", "folder" or nothing.
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("text");

    const QString opened = TrendText::OpenFailed;
    QTest::newRow("missing folder")
        << QStringLiteral("/nonexistent/zrm.csv") << qint64(0) << QString()
        << opened.arg("/nonexistent/zrm.csv", "No such file or directory");
    QTest::newRow("unwritable folder") << QStringLiteral("/sys/zrm.csv") << qint64(0) << QString()
                                       << opened.arg("/sys/zrm.csv", "Permission denied");
    QTest::newRow("full disk") << QStringLiteral("/dev/full") << qint64(0) << QString()
                               << opened.arg("/dev/full", "No space left on device");
    const QString limited = dir_.filePath(QStringLiteral("limited.csv"));
    QTest::newRow("disk full while logging")
        << limited << qint64(400) << QString()
        << QString(TrendText::WriteFailed).arg(limited, "File too large");
    const QString deleted = dir_.filePath(QStringLiteral("deleted.csv"));
    QTest::newRow("file deleted while logging") << deleted << qint64(0) << QStringLiteral("file")
                                                << QString(TrendText::FileGone).arg(deleted);
    const QString inFolder = dir_.filePath(QStringLiteral("folder/log.csv"));
    QTest::newRow("folder removed while logging")
        << inFolder << qint64(0) << QStringLiteral("folder")
        << QString(TrendText::FileGone).arg(inFolder);
}

void TestTrend::logFailures() {
    QFETCH(QString, path);
    QFETCH(qint64, sizeLimit);
    QFETCH(QString, removed);
    QFETCH(QString, text);

    SimPanel s;
    auto* trend = new TrendController(s.panel());
    QVERIFY(s.Start({"--output-on"}));
    trend->ShowTrend();
    // A size limit on the files of this process stands in for a disk that fills up.
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, SIG_IGN);
    if (sizeLimit > 0) {
        rlimit limit = unlimited;
        limit.rlim_cur = static_cast<rlim_t>(sizeLimit);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (removed == u"folder") {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    }
    trend->StartLog(path);
    if (!removed.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(!Rows(path).isEmpty(), kPollWaitMs);
        QVERIFY(!trend->Window()->logging->isHidden());
        QVERIFY(removed == u"file" ? QFile::remove(path)
                                   : QDir(QFileInfo(path).absolutePath()).removeRecursively());
    }
    QTRY_COMPARE_WITH_TIMEOUT(s.boxes().Count(), 1, kPollWaitMs);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    QCOMPARE(s.boxes().Seen().first().title, QString(TrendText::LogErrorTitle));
    QCOMPARE(s.boxes().Seen().first().text, text);
    QCOMPARE(s.boxes().Seen().first().icon, QMessageBox::Warning);
    QVERIFY(!trend->Logging());
    QVERIFY(trend->Window()->logging->isHidden());
    QCOMPARE(trend->Menu()->actions().at(1)->text(), TrendText::StartLog);
    // The panel goes on polling, with nothing else said.
    const qsizetype samples = trend->Ring().Size();
    QTRY_VERIFY_WITH_TIMEOUT(trend->Ring().Size() > samples + 1, kPollWaitMs);
    QCOMPARE(s.boxes().Count(), 1);
    QCOMPARE(s.panel().StatusText(StatusPanel::Status), StatusPanel1::Ready);
    if (sizeLimit > 0) {
        const QByteArray written = Contents(path);
        QVERIFY(written.size() <= sizeLimit);
        QVERIFY(written.endsWith('\n'));
        QVERIFY(!Rows(path).isEmpty());
    }
}

void TestTrend::killedPanelLeavesWholeRows() {
    const QString path = dir_.filePath(QStringLiteral("killed.csv"));
    // Its own runtime folder, so that no single-copy lock of this process refuses it.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {kChildOption, path});
    QVERIFY(child.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(Rows(path).size() >= 3, 3 * kPollWaitMs);
    child.kill();
    QVERIFY(child.waitForFinished());

    const QByteArray written = Contents(path);
    QVERIFY(written.endsWith('\n'));
    for (const QString& row : Rows(path)) {
        QCOMPARE(row.count(u','), CsvHeader().count(u','));
    }
}

void TestTrend::contextMenu_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("menu");

    for (const char* name : {"frm_monitor", "dis_v", "dis_lp", "Label1"}) {
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    }
    for (const char* name : {"cmd_output", "cmd_vlimit", "cmd_exit"}) {
        QTest::newRow(name) << QString::fromLatin1(name) << false;
    }
}

void TestTrend::contextMenu() {
    QFETCH(QString, control);
    QFETCH(bool, menu);

    SimPanel s;
    auto* trend = new TrendController(s.panel());
    QVERIFY(s.Start({}));
    QVERIFY(ActivatePanel(s.panel()));
    auto* widget = s.panel().findChild<QWidget*>(control);
    QVERIFY(widget != nullptr);
    // A spot of the frame away from its displays and labels.
    const QPoint spot = control == u"frm_monitor"
                            ? QPoint(widget->width() - 8, widget->height() - 8)
                            : widget->rect().center();
    // Through the panel's window, as the platform delivers a press, so that
    // Qt makes its context-menu event of it.
    const QPoint at = widget->mapTo(&s.panel(), spot);
    QTest::mousePress(s.panel().windowHandle(), Qt::RightButton, {}, at);
    QTest::mouseRelease(s.panel().windowHandle(), Qt::RightButton, {}, at);
    QTRY_COMPARE_WITH_TIMEOUT(trend->Menu()->isVisible(), menu, 1000);
    QCOMPARE(s.Sent(), QStringList());
    if (!menu) {
        return;
    }
    QStringList texts;
    for (QAction* action : trend->Menu()->actions()) {
        texts << action->text();
    }
    QCOMPARE(texts, (QStringList{TrendText::ShowTrend, TrendText::StartLog}));
    trend->Menu()->hide();
}

void TestTrend::opening_data() {
    QTest::addColumn<bool>("byMenu");

    QTest::newRow("keys") << false;
    QTest::newRow("menu") << true;
}

void TestTrend::opening() {
    QFETCH(bool, byMenu);

    const QString path = dir_.filePath(QStringLiteral("opening-%1.csv").arg(byMenu));
    LogFileVariable variable(path);
    SimPanel s;
    auto* trend = new TrendController(s.panel());
    QVERIFY(s.Start({"--output-on"}));
    QVERIFY(ActivatePanel(s.panel()));
    QMenu& menu = *trend->Menu();
    const auto use = [&](int action, Qt::Key key) {
        if (byMenu) {
            menu.actions().at(action)->trigger();
        } else {
            QTest::keyClick(&s.panel(), key, Qt::ControlModifier);
        }
    };

    use(0, Qt::Key_T);
    QVERIFY(trend->Window() != nullptr);
    TrendWindow& window = *trend->Window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), TrendText::WindowTitle);
    QCOMPARE(window.range->currentText(), TrendRange::kChoices[TrendRange::kDefault].name);
    QVERIFY(window.logging->isHidden());
    // Nothing is written before the log is asked for.
    QVERIFY(!QFile::exists(path));

    QVERIFY(ActivatePanel(s.panel()));
    use(1, Qt::Key_L);
    QVERIFY(trend->Logging());
    QCOMPARE(window.logging->text(), QString(TrendText::LoggingTo).arg(path));
    QVERIFY(!window.logging->isHidden());
    QCOMPARE(menu.actions().at(1)->text(), TrendText::StopLog);
    QTRY_VERIFY_WITH_TIMEOUT(!Rows(path).isEmpty(), kPollWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(window.newest->text().contains(u" V "), kPollWaitMs);

    use(1, Qt::Key_L);
    QVERIFY(!trend->Logging());
    QVERIFY(window.logging->isHidden());
    QCOMPARE(menu.actions().at(1)->text(), TrendText::StartLog);
    QCOMPARE(s.boxes().Count(), 0);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 3 && QByteArrayView(argv[1]) == kChildOption) {
        return LogUntilKilled(QString::fromLocal8Bit(argv[2]));
    }
    TestTrend test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_trend.moc"
