// SPDX-License-Identifier: GPL-3.0-or-later
// The command transport over a real pseudo-terminal whose far end the test
// writes byte by byte: command lines, reply framing, timeouts, the lost-link
// report, pauses, a pulled cable and a flooding supply.
#include "panel_harness.h"
#include "scripted_line.h"
#include "supply_link.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <memory>

namespace {

// A reply wait ends after just over 1 s; a loaded machine may take longer.
constexpr qint64 kTimeoutMs = 1000;

} // namespace

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void replyFraming_data();
    void replyFraming();
    void lateReplyAnswersNextQuestion();
    void lostLinkReport_data();
    void lostLinkReport();
    void commandLines_data();
    void commandLines();
    void waits_data();
    void waits();
    void readError_data();
    void readError();
    void flood();
    void fullOutputBuffer();

private:
    // Opens the panel's port on the scripted line.
    void OpenOnLine();

    std::unique_ptr<ScriptedLine> line_;
    std::unique_ptr<Form1> panel_;
};

void TestTransport::init() {
    line_ = std::make_unique<ScriptedLine>();
    QVERIFY(!line_->Path().isEmpty());
    PointComPorts({line_->Path()});
    panel_ = std::make_unique<Form1>();
    panel_->InitModelTable();
}

void TestTransport::cleanup() {
    panel_.reset();
    line_.reset();
}

void TestTransport::OpenOnLine() {
    panel_->CommPort = 1;
    QCOMPARE(panel_->OpenPort().outcome, PortOutcome::Opened);
    QVERIFY(panel_->MSComm1->isOpen());
}

void TestTransport::replyFraming_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("timesOut");

    QTest::newRow("two characters and LF") << QByteArray("SA\n") << QStringLiteral("A\n") << false;
    QTest::newRow("one character and LF") << QByteArray("S\n") << QStringLiteral("\n") << false;
    QTest::newRow("lone LF") << QByteArray("\n") << QString() << false;
    QTest::newRow("three characters, then silence")
        << QByteArray("abc") << QStringLiteral("abc") << true;
    QTest::newRow("silence") << QByteArray() << QString() << true;
    QTest::newRow("two lines together")
        << QByteArray("S1\nS2\n") << QStringLiteral("1\nS2\n") << false;
    QTest::newRow("CR before LF kept")
        << QByteArray("S110\r\n") << QStringLiteral("110\r\n") << false;
    QTest::newRow("status line") << QByteArray("S12.34 1.234 015.2 30 2.50 075 010201\n")
                                 << QStringLiteral("12.34 1.234 015.2 30 2.50 075 010201\n")
                                 << false;
}

void TestTransport::replyFraming() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, result);
    QFETCH(bool, timesOut);

    OpenOnLine();
    line_->Answer(QStringLiteral("L"), reply);
    panel_->TimeoutCount = 2;
    panel_->SendCommand(QStringLiteral("L"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(panel_->ReadReply(), result);
    if (timesOut) {
        QVERIFY2(clock.elapsed() >= kTimeoutMs, qPrintable(QString::number(clock.elapsed())));
    }
    QCOMPARE(panel_->ReplyPending, timesOut ? kTrue : kFalse);
    QCOMPARE(panel_->TimeoutCount, std::int16_t(timesOut ? 3 : 2));
}

void TestTransport::lateReplyAnswersNextQuestion() {
    OpenOnLine();
    panel_->SendCommand(QStringLiteral("B"));
    QCOMPARE(panel_->ReadReply(), QString());
    QCOMPARE(panel_->ReplyPending, kTrue);
    // The answer to "B" comes after its wait gave up, and is taken for the
    // answer to the next question.
    line_->Write("S110\n");
    panel_->SendCommand(QStringLiteral("U"));
    QCOMPARE(panel_->ReadReply(), QStringLiteral("110\n"));
    QCOMPARE(panel_->ReplyPending, kFalse);
    line_->Write("S40\n");
    QCOMPARE(panel_->ReadReply(), QStringLiteral("40\n"));
    QCOMPARE(panel_->TimeoutCount, std::int16_t(1));
}

void TestTransport::lostLinkReport_data() {
    QTest::addColumn<bool>("connecting");
    QTest::addColumn<int>("startCount");
    // Whether a box opens with each reply wait.
    QTest::addColumn<QList<bool>>("opens");
    QTest::addColumn<int>("endCount");

    // One box for the loss; the report goes on at every timeout.
    QTest::newRow("fifth and sixth timeout")
        << false << 0 << QList<bool>{false, false, false, false, true, false} << 6;
    QTest::newRow("silent while connecting") << true << 3 << QList<bool>{false, false, false} << 6;
    QTest::newRow("count stops at its largest")
        << false << 32766 << QList<bool>{true, false} << 32767;
}

void TestTransport::lostLinkReport() {
    QFETCH(bool, connecting);
    QFETCH(int, startCount);
    QFETCH(QList<bool>, opens);
    QFETCH(int, endCount);

    MessageBoxCloser closer;
    OpenOnLine();
    panel_->Connecting = connecting ? kTrue : kFalse;
    panel_->TimeoutCount = static_cast<std::int16_t>(startCount);
    const QString statusBefore = panel_->StatusText(StatusPanel::Status);
    bool reported = false;
    for (bool opened : opens) {
        panel_->SendCommand(QStringLiteral("L"));
        QCOMPARE(panel_->ReadReply(), QString());
        // The box waits for OK while the caller goes on; the user closes it
        // during the next wait.
        QCOMPARE(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr, opened);
        reported = reported || opened;
        QCOMPARE(panel_->cmd_output->isEnabled(), !reported);
    }
    QTRY_COMPARE(closer.Count(), reported ? 1 : 0);
    QCOMPARE(int(panel_->TimeoutCount), endCount);
    for (const SeenMessage& message : closer.Seen()) {
        QCOMPARE(message.title, MessageText::CommunicationErrorTitle);
        QCOMPARE(message.text, MessageText::CommunicationError);
    }
    QCOMPARE(panel_->StatusText(StatusPanel::Status),
             reported ? QString(StatusPanel1::CommunicationError) : statusBefore);
    QCOMPARE(panel_->cmd_lock->isEnabled(), !reported);
    QCOMPARE(panel_->cmd_rem->isEnabled(), true);
}

void TestTransport::commandLines_data() {
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("query") << QStringList{"L"} << QByteArray("L\r");
    QTest::newRow("value") << QStringList{"SV 07.50"} << QByteArray("SV 07.50\r");
    QTest::newRow("in order") << QStringList{"SUM", "U", "SU 05", "KO"}
                              << QByteArray("SUM\rU\rSU 05\rKO\r");
}

void TestTransport::commandLines() {
    QFETCH(QStringList, commands);
    QFETCH(QByteArray, wire);

    // On a closed port nothing goes out and nothing is reported.
    MessageBoxCloser closer;
    panel_->SendCommand(QStringLiteral("KO"));
    OpenOnLine();
    for (const QString& command : commands) {
        panel_->SendCommand(command);
    }
    QVERIFY(line_->WaitForCommands(static_cast<int>(commands.size())));
    QCOMPARE(line_->Received(), wire);
    QCOMPARE(closer.Count(), 0);
}

void TestTransport::waits_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("pumps");
    QTest::addColumn<qint64>("leastMs");

    QTest::newRow("none") << 0.0 << false << qint64(0);
    QTest::newRow("negative") << -1.0 << false << qint64(0);
    QTest::newRow("pause between commands") << 0.15 << true << qint64(150);
    QTest::newRow("remote key") << 1.0 << true << qint64(1000);
}

void TestTransport::waits() {
    QFETCH(double, seconds);
    QFETCH(bool, pumps);
    QFETCH(qint64, leastMs);

    bool ran = false;
    QTimer::singleShot(0, this, [&] { ran = true; });
    QElapsedTimer clock;
    clock.start();
    panel_->WaitSeconds(seconds);
    QVERIFY(clock.elapsed() >= leastMs);
    QCOMPARE(ran, pumps);
    QTRY_VERIFY(ran);

    // A reply wait runs events too: a tick in the middle of it is handled.
    OpenOnLine();
    bool ticked = false;
    QTimer::singleShot(100, this, [&] { ticked = true; });
    panel_->ReadReply();
    QVERIFY(ticked);
}

void TestTransport::readError_data() {
    QTest::addColumn<bool>("duringWait");
    QTest::newRow("cable pulled while a reply is awaited") << true;
    QTest::newRow("cable pulled while idle") << false;
}

void TestTransport::readError() {
    QFETCH(bool, duringWait);

    MessageBoxCloser closer;
    OpenOnLine();
    if (duringWait) {
        QTimer::singleShot(200, this, [&] { line_->Unplug(); });
    } else {
        line_->Unplug();
        // The idle port notices the hang-up and lets the line go.
        QTRY_VERIFY(!panel_->MSComm1->isOpen());
    }
    panel_->SendCommand(QStringLiteral("L"));
    QCOMPARE(panel_->ReadReply(), QString());
    QCOMPARE(panel_->ReplyPending, kTrue);
    QCOMPARE(panel_->TimeoutCount, std::int16_t(1));
    QVERIFY(!panel_->MSComm1->isOpen());

    // From now on the supply is silent: more sends and waits, counted as timeouts.
    panel_->SendCommand(QStringLiteral("L"));
    QCOMPARE(panel_->ReadReply(), QString());
    QCOMPARE(panel_->TimeoutCount, std::int16_t(2));
    QCOMPARE(closer.Count(), 0);
}

void TestTransport::flood() {
    OpenOnLine();
    line_->Flood(4 * ReplyBuffer::kCapacity);
    const QString result = panel_->ReadReply();
    QCOMPARE(result.size(), ReplyBuffer::kCapacity);
    QVERIFY(result.count(u'x') == result.size());
    QCOMPARE(panel_->ReplyPending, kTrue);
    QCOMPARE(panel_->TimeoutCount, std::int16_t(1));
}

// Commands written faster than the far end takes them fill the system's
// buffer, and a write would block: Qt reports that as a resource error, as it
// does a removed device. The line stays open and every command arrives.
void TestTransport::fullOutputBuffer() {
    OpenOnLine();
    line_->Hold(true);
    // 180 000 characters, far more than a pseudo-terminal holds, in bursts
    // with the event loop between them, as remote control sends a flood.
    constexpr int kBursts = 200;
    constexpr int kCommands = 100 * kBursts;
    for (int burst = 0; burst < kBursts; ++burst) {
        for (int i = 0; i < kCommands / kBursts; ++i) {
            panel_->SendCommand(QStringLiteral("SV 12.50"));
        }
        QCoreApplication::processEvents();
    }
    // A reply awaited meanwhile finds the line still there.
    line_->Answer(QStringLiteral("L"), "S12.00\n");
    panel_->SendCommand(QStringLiteral("L"));
    QVERIFY(!panel_->LineDrained());
    line_->Hold(false);
    QCOMPARE(panel_->ReadReply(), QStringLiteral("12.00\n"));
    QVERIFY(panel_->MSComm1->isOpen());
    QVERIFY(line_->WaitForCommands(kCommands + 1));
    QCOMPARE(line_->Commands(), QStringList(kCommands, QStringLiteral("SV 12.50"))
                                    << QStringLiteral("L"));
    QTRY_VERIFY(panel_->LineDrained());
}

QTEST_MAIN(TestTransport)
#include "test_transport.moc"
