// SPDX-License-Identifier: GPL-3.0-or-later
// The port scan at a real bench: COM1 found among the machine's serial ports
// without ZRM_COMn, why each port failed (a lock file left by a killed
// program among the reasons), and the wire trace, over real pseudo-terminals
// and files.
#include "panel_fixture.h"
#include "panel_harness.h"
#include "serial_lock.h"
#include "sim_process.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QScopeGuard>
#include <QStatusBar>
#include <QSysInfo>
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
    // process), stale (the lock file of a holder that was killed, which this
    // user may not remove), silent (zrm-sim that never answers)
    QTest::addColumn<QStringList>("kinds");
    // listed as USB adapters instead of named in ZRM_COMn
    QTest::addColumn<bool>("asAdapters");

    QTest::newRow("missing, live holder, stale lock file of another user, silent")
        << QStringList{"missing", "busy", "stale", "silent"} << false;
    QTest::newRow("denied") << QStringList{"denied"} << false;
    QTest::newRow("one silent adapter, no further ports") << QStringList{"silent"} << true;
}

void TestPortScan::failureReasons() {
    QFETCH(QStringList, kinds);
    QFETCH(bool, asAdapters);

    // Root may open any file and remove any lock file: the scan then runs as
    // nobody, and the holder's lock file belongs to root, another user.
    const bool root = geteuid() == 0;
    const bool dropRoot = root && (kinds.contains(u"denied") || kinds.contains(u"stale"));
    if (dropRoot && (seteuid(kNobody) != 0 || seteuid(0) != 0)) {
        QSKIP("Running as root and cannot switch to uid 65534: the denied port and the stale "
              "lock need a user without permission");
    }
    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::unique_ptr<QProcess>> holders;
    QStringList paths;
    QStringList reasons;
    QStringList lockFiles;
    // The holders let go when the test ends, whatever its outcome: one that
    // was killed would leave its lock file behind.
    const auto release = qScopeGuard([&] {
        for (auto& holder : holders) {
            holder->closeWriteChannel();
            holder->waitForFinished(10000);
        }
    });
    const auto hold = [&](const QString& path) {
        holders.push_back(std::make_unique<QProcess>());
        holders.back()->start(ZRM_PORT_HOLDER_PATH, {path});
        return holders.back()->waitForReadyRead(10000) &&
               holders.back()->readLine() == QByteArray("held\n");
    };
    for (const QString& kind : kinds) {
        if (kind == u"missing") {
            paths << MissingPortPath(static_cast<int>(paths.size()) + 1);
            reasons << PortOutcomeText::NotPresent;
            if (dropRoot) {
                // A lock file that a killed panel left for the device, which
                // this user may not remove: the device is still gone.
                QProcess gone;
                gone.start(QStringLiteral("true"));
                QVERIFY(gone.waitForFinished(10000));
                lockFiles << SerialLockFile(paths.last());
                QFile lock(lockFiles.last());
                QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
                lock.write(QByteArray::number(gone.processId()).rightJustified(10) +
                           "\nzrm-panel\n" + QSysInfo::machineHostName().toUtf8() + '\n');
                lock.close();
                QVERIFY(
                    lock.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            }
            continue;
        }
        if (kind == u"denied") {
            paths << dir.filePath(QStringLiteral("denied"));
            QFile file(paths.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setPermissions({}));
            reasons << PortOutcomeText::Denied;
            continue;
        }
        sims.push_back(std::make_unique<SimProcess>());
        paths << sims.back()->Start({"--silent"});
        QVERIFY(!paths.last().isEmpty());
        // Open to nobody too, so that only the denied port is refused.
        QCOMPARE(chmod(QFile::encodeName(paths.last()).constData(), 0666), 0);
        QCOMPARE(chmod(QFile::encodeName(QFileInfo(paths.last()).path()).constData(), 0755), 0);
        if (kind == u"busy") {
            QVERIFY(hold(paths.last()));
            reasons << PortOutcomeText::Busy;
        } else if (kind == u"stale") {
            // Killed while it held the port, as a panel that is killed.
            QVERIFY(hold(paths.last()));
            const qint64 pid = holders.back()->processId();
            holders.back()->kill();
            QVERIFY(holders.back()->waitForFinished(10000));
            holders.pop_back();
            lockFiles << SerialLockFile(paths.last());
            QVERIFY2(QFile::exists(lockFiles.last()), qPrintable(lockFiles.last()));
            // Not root: a file this user may not write stands in for another
            // user's, which Qt cannot remove either.
            if (!root) {
                QVERIFY(QFile::setPermissions(
                    lockFiles.last(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            }
            reasons << QString(PortOutcomeText::StaleLock)
                           .arg(QFileInfo(lockFiles.last()).canonicalFilePath())
                           .arg(pid);
        } else {
            reasons << PortOutcomeText::Silent;
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
    for (const QString& lock : lockFiles) {
        QFile::remove(lock);
    }
    QVERIFY(started);

    QStringList expected;
    for (int n = 1; n <= kComPortCount; ++n) {
        // PointComPorts points the COM ports after the given ones at missing paths.
        const QString path = n <= paths.size() ? paths[n - 1]
                             : asAdapters      ? QString()
                                               : MissingPortPath(n);
        const QString reason = reasons.value(n - 1, PortOutcomeText::NotPresent);
        expected << (path.isEmpty() ? QStringLiteral("COM%1: %2").arg(n).arg(reason)
                                    : QStringLiteral("COM%1 %2: %3").arg(n).arg(path, reason));
    }
    QCOMPARE(bench().boxes().Count(), 1);
    QCOMPARE(bench().boxes().Seen()[0].title, MessageText::CommunicationErrorTitle);
    QCOMPARE(bench().boxes().Seen()[0].text, MessageText::CommunicationError);
    QCOMPARE(bench().boxes().Seen()[0].details.split(u'\n'), expected);
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
