// SPDX-License-Identifier: GPL-3.0-or-later
// The port scan at a real bench: COM1 found among the machine's serial ports
// without ZRM_COMn, why each port failed, and the wire trace, over real
// pseudo-terminals and files.
#include "panel_fixture.h"
#include "panel_harness.h"
#include "sim_process.h"

#include <QLoggingCategory>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

QList<SerialPortDescription> g_ports;

// The given devices listed as USB adapters, in the given order.
void ListAsAdapters(const QStringList& paths) {
    g_ports.clear();
    for (const QString& path : paths) {
        SerialPortDescription port;
        port.name = path.section(u'/', -1);
        port.systemLocation = path;
        port.vendorId = 0x0403;
        port.productId = 0x6001;
        port.byIdName = QStringLiteral("usb-FTDI_FT232R_USB_UART_%1-if00-port0").arg(port.name);
        g_ports << port;
    }
    Form1::ListSerialPorts = [] { return g_ports; };
    for (int n = 1; n <= 4; ++n) {
        qunsetenv(QStringLiteral("ZRM_COM%1").arg(n).toLatin1().constData());
    }
}

QStringList g_trace;
QtMessageHandler g_previousHandler = nullptr;

void RecordTrace(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (QLatin1String(context.category) == QLatin1String("zrm.link")) {
        g_trace << message;
    } else {
        g_previousHandler(type, context, message);
    }
}

// The trace lines without their leading milliseconds, which must not go back.
QStringList TraceWithoutTimes() {
    QStringList lines;
    qint64 last = 0;
    for (const QString& line : g_trace) {
        const qint64 ms = line.section(u' ', 0, 0).toLongLong();
        if (ms < last) {
            return {QStringLiteral("time went back: ") + line};
        }
        last = ms;
        lines << line.section(u' ', 1);
    }
    return lines;
}

} // namespace

class TestPortScan : public PanelTest {
    Q_OBJECT
private slots:
    void failureReasons_data();
    void failureReasons();
    void traceOfConnection();
};

void TestPortScan::failureReasons_data() {
    // missing, denied (a file this user may not open), busy (held by another
    // process), silent (zrm-sim that never answers)
    QTest::addColumn<QStringList>("kinds");
    // listed as USB adapters instead of named in ZRM_COMn
    QTest::addColumn<bool>("asAdapters");
    QTest::addColumn<QStringList>("reasons");

    QTest::newRow("every reason, in scan order")
        << QStringList{"missing", "busy", "silent", "denied"} << false
        << QStringList{PortOutcomeText::NotPresent, PortOutcomeText::Busy, PortOutcomeText::Silent,
                       PortOutcomeText::Denied};
    QTest::newRow("one silent adapter, no further ports")
        << QStringList{"silent"} << true
        << QStringList{PortOutcomeText::Silent, PortOutcomeText::NotPresent,
                       PortOutcomeText::NotPresent, PortOutcomeText::NotPresent};
}

void TestPortScan::failureReasons() {
    QFETCH(QStringList, kinds);
    QFETCH(bool, asAdapters);
    QFETCH(QStringList, reasons);

    // Root may open any file: the scan then runs as nobody.
    const bool dropRoot = geteuid() == 0 && kinds.contains(u"denied");
    if (dropRoot && (seteuid(kNobody) != 0 || seteuid(0) != 0)) {
        QSKIP("Running as root and cannot switch to uid 65534: the denied port needs a user "
              "without permission");
    }
    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::unique_ptr<QProcess>> holders;
    QStringList paths;
    for (const QString& kind : kinds) {
        if (kind == u"missing") {
            paths << MissingPortPath(static_cast<int>(paths.size()) + 1);
        } else if (kind == u"denied") {
            paths << dir.filePath(QStringLiteral("denied"));
            QFile file(paths.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setPermissions({}));
        } else {
            sims.push_back(std::make_unique<SimProcess>());
            paths << sims.back()->Start({"--silent"});
            QVERIFY(!paths.last().isEmpty());
            // Open to nobody too, so that only the denied port is refused.
            QCOMPARE(chmod(QFile::encodeName(paths.last()).constData(), 0666), 0);
        }
        if (kind == u"busy") {
            holders.push_back(std::make_unique<QProcess>());
            holders.back()->start(ZRM_PORT_HOLDER_PATH, {paths.last()});
            QVERIFY(holders.back()->waitForReadyRead(10000));
            QCOMPARE(holders.back()->readLine(), QByteArray("held\n"));
        }
    }
    if (asAdapters) {
        ListAsAdapters(paths);
    } else {
        PointComPorts(paths);
    }

    if (dropRoot) {
        QCOMPARE(seteuid(kNobody), 0);
    }
    const bool started = StartPanel(bench().panel());
    if (dropRoot) {
        QCOMPARE(seteuid(0), 0);
    }
    QVERIFY(started);

    QStringList expected;
    for (int n = 1; n <= reasons.size(); ++n) {
        const QString path = paths.value(n - 1);
        expected << (path.isEmpty()
                         ? QStringLiteral("COM%1: %2").arg(n).arg(reasons[n - 1])
                         : QStringLiteral("COM%1 %2: %3").arg(n).arg(path, reasons[n - 1]));
    }
    QCOMPARE(bench().boxes().Count(), 1);
    QCOMPARE(bench().boxes().Seen()[0].title, MessageText::CommunicationErrorTitle);
    QCOMPARE(bench().boxes().Seen()[0].text, MessageText::CommunicationError);
    QCOMPARE(bench().boxes().Seen()[0].details.split(u'\n'), expected);
    for (auto& holder : holders) {
        holder->closeWriteChannel();
        QVERIFY(holder->waitForFinished(10000));
    }
}

void TestPortScan::traceOfConnection() {
    SimProcess sim;
    const QString port = sim.Start({"--no-pacing"});
    QVERIFY(!port.isEmpty());
    // A built-in port listed first still comes after the adapter.
    ListAsAdapters({port});
    SerialPortDescription builtIn;
    builtIn.name = QStringLiteral("ttyS0");
    builtIn.systemLocation = MissingPortPath(1);
    g_ports.prepend(builtIn);

    g_trace.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("zrm.link.debug=true"));
    g_previousHandler = qInstallMessageHandler(RecordTrace);
    const bool started = StartPanel(bench().panel());
    const bool restored = sim.WaitForLogCount(6);
    qInstallMessageHandler(g_previousHandler);
    QLoggingCategory::setFilterRules(QStringLiteral("zrm.link.debug=false"));
    QVERIFY(started);
    QVERIFY(restored);

    QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QCOMPARE(bench().panel().StatusText(StatusPanel::Port), QStringLiteral("COM1"));
    QCOMPARE(bench().panel().SBar1->findChild<QLabel*>(QStringLiteral("SBar1_panel3"))->toolTip(),
             port);
    QCOMPARE(TraceWithoutTimes(), (QStringList{
                                      "open COM1 " + port + ": opened",
                                      "send L",
                                      R"(reply S05.00 0.000 000.0 40 5.00 200 000000\n)",
                                      "scan COM1 " + port + ": answered",
                                      "status 3 COM1",
                                      "send B",
                                      R"(reply S100\n)",
                                      "send D",
                                      R"(reply S100\n)",
                                      "send SUM",
                                      "send U",
                                      R"(reply S40\n)",
                                      "status 2 ZRM-522",
                                      "send SU 40",
                                      "status 1 Ready",
                                  }));
}

QTEST_MAIN(TestPortScan)
#include "test_port_scan.moc"
