// SPDX-License-Identifier: GPL-3.0-or-later
// Runs against zrm-sim: a short run's commands on the wire in order, a charge
// that ends on its current threshold, what ends a run and what goes to the
// supply then, a lost link, the counters against the supply's own charge and
// energy, run files in the run window, and the block on suspending while a
// run or a log is active, against a logind of the test's own on a private bus.
#include "panel_checks.h"
#include "remote_control.h"
#include "run_csv.h"
#include "run_join.h"
#include "run_texts.h"
#include "scpi_client.h"
#include "sim_panel.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kRunWaitMs = 30000;

// A run file: its settings, then the header and the steps.
QString RunFileText(const QStringList& settings, const QStringList& steps) {
    return (settings + QStringList{RunStepHeader().join(u',')} + steps).join(u'\n') + u'\n';
}

Run RunOf(const QString& text) {
    const RunFile file = ReadRunCsv(text);
    if (file.error) {
        qWarning("%s", qPrintable(file.error->Text()));
    }
    return file.run;
}

// The controls that a run holds.
QList<QWidget*> HeldControls(const Form1& p) {
    return {p.cmd_plus,  p.cmd_normal, p.cmd_minus,  p.cmd_vset,    p.cmd_rem,
            p.cmd_lock,  p.cmd_ce,     p.cmd_vlimit, p.cmd_plimit,  p.cmd_ilimit,
            p.cmd_enter, p.cmd_add,    p.cmd_sub,    p.frm_voltage, p.frm_limit};
}

// Starts the run from the window, as the user does.
RunWindow& StartFromWindow(RunControl& control, const Run& run) {
    control.ShowWindow();
    RunWindow& window = *control.Window();
    window.ShowRun(run);
    QTest::mouseClick(window.start, Qt::LeftButton);
    return window;
}

bool Ended(RunControl& control, int timeoutMs = kRunWaitMs) {
    return QTest::qWaitFor([&] { return control.Executor().State() == RunState::Ended; },
                           timeoutMs);
}

double StateNumber(SimProcess& sim, const QString& key) {
    return sim.State().value(key).toDouble();
}

const QString kLogind = QStringLiteral("org.freedesktop.login1");

// logind's Manager as the panel calls it: each Inhibit answered with the
// write end of a pipe, whose read end sees the end of the file once the
// block is let go.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLogind() override {
        if (readEnd >= 0) {
            ::close(readEnd);
        }
    }

    QStringList asked; // "what,mode" of each call
    int readEnd = -1;

    // Whether every copy of the descriptor handed out is closed.
    bool LetGo() const {
        char byte = 0;
        return readEnd >= 0 && ::read(readEnd, &byte, 1) == 0;
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        Q_UNUSED(who);
        Q_UNUSED(why);
        asked.append(what + u',' + mode);
        int ends[2] = {-1, -1};
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
            return {};
        }
        readEnd = ends[0];
        const QDBusUnixFileDescriptor handed(ends[1]);
        ::close(ends[1]);
        return handed;
    }
};

} // namespace

class TestRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void shortRun_data();
    void shortRun();
    void chargeEndsOnCurrent();
    void endings_data();
    void endings();
    void lostLinkStopsRun();
    void countersAgreeWithSupply();
    void runFile_data();
    void runFile();
    void sleepBlocked_data();
    void sleepBlocked();
    void listOverSocket_data();
    void listOverSocket();

private:
    // A bus of the test's own, as both the system and the session bus.
    QProcess bus_;
};

void TestRun::initTestCase() {
    bus_.start(QStringLiteral("dbus-daemon"),
               {"--session", "--nofork", "--print-address", "--nopidfile"});
    QVERIFY2(bus_.waitForReadyRead(10000), "dbus-daemon did not start");
    const QByteArray address = bus_.readLine().trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
}

void TestRun::cleanupTestCase() {
    bus_.terminate();
    bus_.waitForFinished();
}

void TestRun::shortRun_data() {
    QTest::addColumn<QString>("run");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<RunOutcome>("outcome");

    QTest::newRow("jumps, the output off at the end")
        << RunFileText({"end,output off"}, {"5,,,0.3,no", "7.5,,,0.3,no"})
        << QStringList{"SV 05.00", "KO", "SV 07.50", "KO"} << RunOutcome::Completed;
    // Above the voltage limit of 40 V, 2 A would be 80 W: the power limit
    // binds and goes last; its read-back with the output still off comes
    // before anything else. At 1 A (40 W) the current limit binds.
    QTest::newRow("the binding limit last, the power limit read back")
        << RunFileText({}, {"5,2,50,0.1,no", "6,1,100,0.3,no"})
        << QStringList{"SI 2.00", "SP 050",  "I",        "SV 05.00", "KO",
                       "SP 100",  "SI 1.00", "SV 06.00", "KO"}
        << RunOutcome::Completed;
    QTest::newRow("a ramp ends on its value")
        << RunFileText({"end,keep last step"}, {"5,,,0.3,no", "5.03,,,0.9,yes"})
        << QStringList{"SV 05.00", "KO", "SV 05.01", "SV 05.02", "SV 05.03"}
        << RunOutcome::Completed;
    QTest::newRow("a repeat wraps to the first step")
        << RunFileText({"repeat,2", "end,keep last step"}, {"5,,,0.2,no", "6,,,0.2,no"})
        << QStringList{"SV 05.00", "KO", "SV 06.00", "SV 05.00", "SV 06.00"}
        << RunOutcome::Completed;
    QTest::newRow("the stop after a time")
        << RunFileText({"stop after (s),0.6"}, {"5,,,0.3,no", "6,,,60,no"})
        << QStringList{"SV 05.00", "KO", "SV 06.00", "KO"} << RunOutcome::ElapsedTime;
}

void TestRun::shortRun() {
    QFETCH(QString, run);
    QFETCH(QStringList, wire);
    QFETCH(RunOutcome, outcome);

    SimPanel s;
    const JoinedRuns runs = JoinRuns(s.panel());
    QVERIFY(s.Start({"--model", "ZRM-522"}));
    StartFromWindow(*runs.control, RunOf(run));
    QVERIFY(Ended(*runs.control));
    QCOMPARE(s.Sent(), wire);
    QCOMPARE(runs.control->Executor().Progress().outcome, outcome);
    QCOMPARE(s.boxes().Count(), 0);
}

void TestRun::chargeEndsOnCurrent() {
    SimPanel s;
    const JoinedRuns runs = JoinRuns(s.panel());
    // A small battery, 11 V empty and 14.4 V full, behind 0.5 ohm.
    QVERIFY(s.Start({"--model", "ZRM-522", "--battery", "11,14.4,0.002,0.5"}));
    const Run charge = RunOf(RunFileText(
        {"stop when current below (A),0.2", "stop when current below for (s),2", "end,output off"},
        {"14.40,1.00,,600,no"}));
    RunWindow& window = StartFromWindow(*runs.control, charge);
    QVERIFY(Ended(*runs.control, 90000));
    QCOMPARE(runs.control->Executor().Progress().outcome, RunOutcome::CurrentBelow);
    QCOMPARE(s.Sent(), (QStringList{"SI 1.00", "SV 14.40", "KO", "KO"}));
    QVERIFY2(window.state->text().contains(RunWindowText::CurrentBelow),
             qPrintable(window.state->text()));
    const QMap<QString, QString> state = s.sim().State();
    QCOMPARE(state.value("output"), QString("0"));
    QVERIFY2(state.value("battery_v").toDouble() > 14.2, qPrintable(state.value("battery_v")));
}

void TestRun::endings_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<bool>("ended");

    // Stop ends with the end action; OUTPUT switches the output off itself.
    QTest::newRow("Stop") << "stop" << QStringList{"KO"} << true;
    QTest::newRow("OUTPUT") << "output" << QStringList{"KO"} << true;
    // EXIT and closing the panel end the program at once and send nothing:
    // the supply keeps its step.
    QTest::newRow("EXIT") << "exit" << QStringList{} << false;
    QTest::newRow("closing the panel") << "close" << QStringList{} << false;
}

void TestRun::endings() {
    QFETCH(QString, cause);
    QFETCH(QStringList, wire);
    QFETCH(bool, ended);

    SimPanel s;
    const JoinedRuns runs = JoinRuns(s.panel());
    QVERIFY(s.Start({"--model", "ZRM-522"}));
    Form1& panel = s.panel();
    RunWindow& window = StartFromWindow(*runs.control, StepsRun({"5,60", "6,60"}));
    QCOMPARE(s.Sent(), (QStringList{"SV 05.00", "KO"}));

    // The keys that would fight the run are held; OUTPUT and EXIT are not.
    QVERIFY(AllEnabled(HeldControls(panel), false));
    QVERIFY(AllEnabled({panel.cmd_output, panel.cmd_exit, panel.cmd_n, panel.cmd_f}, true));
    QVERIFY(runs.control->StatusPanel()->isVisible());
    QCOMPARE(runs.control->StatusPanel()->text(),
             QString(RunWindowText::PanelRunning).arg(1).arg(2));
    QCOMPARE(panel.StatusText(StatusPanel::Status), QString(StatusPanel1::Ready));

    if (cause == u"stop") {
        QTest::mouseClick(window.stop, Qt::LeftButton);
    } else if (cause == u"output") {
        Click(panel.cmd_output);
    } else if (cause == u"exit") {
        QTest::mouseClick(panel.cmd_exit, Qt::LeftButton);
        QCOMPARE(EndProgramRecorder::Count(), 1);
    } else {
        panel.close();
    }
    QCOMPARE(runs.control->Executor().State() == RunState::Ended, ended);
    QCOMPARE(s.Sent(), wire);
    QCOMPARE(s.boxes().Count(), 0);
    if (ended) {
        QCOMPARE(s.sim().State().value("output"), QString("0"));
        QVERIFY(AllEnabled(HeldControls(panel), true));
        QVERIFY(!runs.control->StatusPanel()->isVisible());
    }
}

void TestRun::lostLinkStopsRun() {
    SimPanel s;
    const JoinedRuns runs = JoinRuns(s.panel());
    QVERIFY(s.Start({"--model", "ZRM-522"}));
    Form1& panel = s.panel();
    RunWindow& window = StartFromWindow(*runs.control, StepsRun({"5,60", "6,60"}));
    QCOMPARE(s.Sent(), (QStringList{"SV 05.00", "KO"}));

    s.sim().Control("silent 1");
    QVERIFY(Ended(*runs.control));
    QCOMPARE(runs.control->Executor().Progress().outcome, RunOutcome::LinkLost);
    // Where it stopped and what the supply does now, in the window and the
    // status bar; the keys as a lost link leaves them, REM to reconnect.
    QVERIFY2(window.state->text().contains(RunWindowText::LinkLost),
             qPrintable(window.state->text()));
    QVERIFY2(window.state->text().contains(QStringLiteral("step 1 of 2")),
             qPrintable(window.state->text()));
    QCOMPARE(runs.control->StatusPanel()->text(),
             QString(RunWindowText::PanelLinkLost).arg(1).arg(2));
    QVERIFY(runs.control->StatusPanel()->toolTip().contains(RunWindowText::LinkLost));
    QCOMPARE(panel.StatusText(StatusPanel::Status), QString(StatusPanel1::CommunicationError));
    QVERIFY(!panel.cmd_vset->isEnabled());
    QVERIFY(panel.cmd_rem->isEnabled());

    // REM connects again; the run stays ended and sends nothing more.
    s.sim().Control("silent 0");
    QTRY_VERIFY_WITH_TIMEOUT(s.boxes().Count() >= 1, kRunWaitMs);
    Click(panel.cmd_rem);
    QTRY_COMPARE_WITH_TIMEOUT(panel.StatusText(StatusPanel::Status), QString(StatusPanel1::Ready),
                              kRunWaitMs);
    QVERIFY(!runs.control->StatusPanel()->isVisible());
    QTest::qWait(1500);
    const QStringList after = s.Sent();
    for (const QString& command : after) {
        QVERIFY2(!command.startsWith(u"SV ") && command != u"KO", qPrintable(after.join(u' ')));
    }
    QCOMPARE(runs.control->Executor().State(), RunState::Ended);
    QVERIFY(panel.cmd_vset->isEnabled());
}

void TestRun::countersAgreeWithSupply() {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("counters.csv"));
    SimPanel s;
    const JoinedRuns runs = JoinRuns(s.panel());
    QList<EnergyTotals> totals;
    QObject::connect(runs.counters, &MeterCounters::Changed,
                     [&](const EnergyTotals& t) { totals.append(t); });
    runs.trend->StartLog(log);
    // 5 V into 2 ohms: 2.5 A and 12.5 W, counted from the first poll on.
    QVERIFY(s.Start({"--model", "ZRM-522", "--output-on", "--vset", "5", "--load-ohms", "2"}));
    QTRY_VERIFY_WITH_TIMEOUT(totals.size() >= 2, kPollWaitMs);
    const EnergyTotals first = runs.counters->Totals();
    const double firstAh = StateNumber(s.sim(), "charge_ah");
    const double firstWh = StateNumber(s.sim(), "energy_wh");
    const qsizetype from = totals.size();
    QTRY_VERIFY_WITH_TIMEOUT(totals.size() >= from + 20, 3 * kRunWaitMs);
    const EnergyTotals last = runs.counters->Totals();
    const double supplyAh = StateNumber(s.sim(), "charge_ah") - firstAh;
    const double supplyWh = StateNumber(s.sim(), "energy_wh") - firstWh;
    QVERIFY2(std::abs(last.ampHours - first.ampHours - supplyAh) <= 0.01 * supplyAh,
             qPrintable(QStringLiteral("%1 Ah counted, %2 Ah delivered")
                            .arg(last.ampHours - first.ampHours)
                            .arg(supplyAh)));
    QVERIFY2(std::abs(last.wattHours - first.wattHours - supplyWh) <= 0.01 * supplyWh,
             qPrintable(QStringLiteral("%1 Wh counted, %2 Wh delivered")
                            .arg(last.wattHours - first.wattHours)
                            .arg(supplyWh)));

    // Each row of the log ends with the counters after its own reading.
    runs.trend->StopLog();
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    rows.removeFirst();
    QVERIFY(rows.size() >= 20 && rows.size() <= totals.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList cells = rows[i].split(u',');
        QCOMPARE(cells.mid(cells.size() - 2).join(u','),
                 QStringLiteral("%1,%2")
                     .arg(totals[i].ampHours, 0, 'f', RunDecimals::Counter)
                     .arg(totals[i].wattHours, 0, 'f', RunDecimals::Counter));
    }

    // The reset starts them from zero, in both windows.
    runs.control->ShowWindow();
    runs.trend->ShowTrend();
    QTest::mouseClick(runs.control->Window()->resetCounters, Qt::LeftButton);
    QCOMPARE(runs.counters->Totals().ampHours, 0.0);
    QCOMPARE(runs.control->Window()->counters->text(),
             QString(RunWindowText::Counters).arg("0.000000", "0.000000"));
}

void TestRun::runFile_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("problem");

    QTest::newRow("a good file") << RunFileText({"repeat,3", "end,keep last step",
                                                 "stop when current below (A),0.1",
                                                 "stop when current below for (s),60"},
                                                {"14.40,2.00,,3600,no", "13.80,,,7200,yes"})
                                 << 2 << QString();
    QTest::newRow("a bad number is refused with its line")
        << RunFileText({"repeat,1"}, {"14.40,2.00,,3600,no", "13.8x,,,7200,no"}) << 1
        << QStringLiteral("Line 4: voltage (V): \"13.8x\" is not a number");
    // Loaded, so it can be mended; it does not start as it is.
    QTest::newRow("above the voltage limit in force is said")
        << RunFileText({}, {"45,,,10,no"}) << 1
        << QStringLiteral("Step 1, voltage (V): 45 V is above the voltage limit in force, 40 V");
}

void TestRun::runFile() {
    QFETCH(QString, file);
    QFETCH(int, steps);
    QFETCH(QString, problem);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.csv"));
    QFile in(path);
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(file.toUtf8());
    in.close();

    SimPanel s;
    const JoinedRuns runs = JoinRuns(s.panel());
    QVERIFY(s.Start({"--model", "ZRM-522", "--vlimit", "40"}));
    runs.control->ShowWindow();
    RunWindow& window = *runs.control->Window();
    QCOMPARE(window.steps->rowCount(), 1);
    QCOMPARE(window.LoadFile(path), problem.isEmpty() || problem.startsWith(u"Step"));
    QCOMPARE(window.steps->rowCount(), steps);
    QCOMPARE(window.problem->isVisible(), !problem.isEmpty());
    QVERIFY2(window.problem->text().contains(problem), qPrintable(window.problem->text()));
    if (problem.startsWith(u"Step")) {
        QTest::mouseClick(window.start, Qt::LeftButton);
        QCOMPARE(runs.control->Executor().State(), RunState::Idle);
        QCOMPARE(window.problem->text(), QString(RunWindowText::NotStarted).arg(problem));
        QCOMPARE(s.Sent(), QStringList{});
    }
    if (!problem.isEmpty()) {
        return;
    }
    // The table gives the same run back, and writes it as it was read.
    const QString out = dir.filePath(QStringLiteral("out.csv"));
    QVERIFY(window.SaveFile(out));
    QFile saved(out);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), RunCsv(RunOf(file)));
    QCOMPARE(window.repeat->value(), 3);
}

void TestRun::sleepBlocked_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<bool>("service");

    QTest::newRow("a run") << "run" << true;
    QTest::newRow("a log") << "log" << true;
    // Nothing but a trace line; the run goes on.
    QTest::newRow("no logind, no power manager") << "run" << false;
}

void TestRun::sleepBlocked() {
    QFETCH(QString, cause);
    QFETCH(bool, service);

    FakeLogind logind;
    QDBusConnection fake =
        QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS"), "logind");
    QVERIFY(fake.isConnected());
    if (service) {
        QVERIFY(fake.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                    QDBusConnection::ExportAllSlots));
        QVERIFY(fake.registerService(kLogind));
    }
    QTemporaryDir dir;
    SimPanel s;
    const JoinedRuns runs = JoinRuns(s.panel());
    QVERIFY(s.Start({"--model", "ZRM-522"}));
    if (cause == u"run") {
        StartFromWindow(*runs.control, StepsRun({"5,60"}));
    } else {
        runs.trend->StartLog(dir.filePath(QStringLiteral("log.csv")));
    }
    SleepInhibitor& inhibitor = runs.control->Inhibitor();
    if (service) {
        QTRY_VERIFY_WITH_TIMEOUT(inhibitor.Holding(), kPollWaitMs);
        QCOMPARE(logind.asked, QStringList{"sleep,block"});
        QVERIFY(!logind.LetGo());
    } else {
        QTest::qWait(500);
        QVERIFY(!inhibitor.Holding());
        QVERIFY(runs.control->Executor().Active());
    }

    if (cause == u"run") {
        QTest::mouseClick(runs.control->Window()->stop, Qt::LeftButton);
    } else {
        runs.trend->StopLog();
    }
    QVERIFY(!inhibitor.Holding());
    if (service) {
        QTRY_VERIFY(logind.LetGo());
        fake.unregisterService(kLogind);
        fake.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
    }
    QDBusConnection::disconnectFromBus("logind");
}

void TestRun::listOverSocket_data() {
    QTest::addColumn<QStringList>("simArgs");
    // Each "message => reply" asked in turn ("=~" a pattern); "wait" until
    // the run has ended.
    QTest::addColumn<QStringList>("exchanges");
    QTest::addColumn<QStringList>("wire");

    const QStringList plain{"--model", "ZRM-522"};
    QTest::newRow("a list runs to its end, its values on the supply's 0.01")
        << plain
        << QStringList{"LIST:VOLT 5.004,6.006;DWEL 0.3;COUN 1;:INIT;:SYST:ERR? => 0,\"No error\"",
                       "LIST:VOLT?;DWEL?;COUN? => 5.00,6.01;0.300;1", "wait",
                       "LIST:STAT? => END,2,1,0.000,COMP"}
        << QStringList{"SV 05.00", "KO", "SV 06.01", "KO"};
    QTest::newRow("a current limit per step, a dwell for all, two passes")
        << plain
        << QStringList{"LIST:VOLT 5,6;CURR 1,2;DWEL 200 MS;COUN 2;:INIT;:LIST:STAT? =~ "
                       "RUN,1,1,0\\.[0-9]{3},NONE",
                       "wait", "LIST:STAT? => END,2,2,0.000,COMP"}
        << QStringList{"SI 1.00", "SV 05.00", "KO",      "SI 2.00",  "SV 06.00",
                       "SI 1.00", "SV 05.00", "SI 2.00", "SV 06.00", "KO"};
    QTest::newRow("ABORt ends it with the output off; settings belong to the run")
        << plain
        << QStringList{"LIST:VOLT 5;DWEL 60;:INIT;:VOLT 7;:SYST:ERR? => -221,\"Settings conflict\"",
                       "ABOR;:LIST:STAT? => END,1,1,0.000,STOP"}
        << QStringList{"SV 05.00", "KO", "KO"};
    QTest::newRow("OUTP OFF ends it as OUTPUT does")
        << plain
        << QStringList{"LIST:VOLT 5;DWEL 60;:INIT;:OUTP OFF;:LIST:STAT?;:OUTP?;:SYST:ERR? => "
                       "END,1,1,0.000,OUTP;0;0,\"No error\""}
        << QStringList{"SV 05.00", "KO", "KO"};
    QTest::newRow("*RST ends it too")
        << plain
        << QStringList{"LIST:VOLT 5;DWEL 60;:INIT;*RST;:LIST:STAT?;:SYST:ERR? => "
                       "END,1,1,0.000,STOP;0,\"No error\""}
        << QStringList{"SV 05.00", "KO", "KO"};
    QTest::newRow("lists of other lengths start nothing")
        << plain
        << QStringList{"LIST:VOLT 5,6,7;DWEL 0.2,0.2;:INIT;:SYST:ERR? => -226,\"Lists not same "
                       "length\"",
                       "LIST:STAT? => IDLE,0,0,0.000,NONE"}
        << QStringList{};
    QTest::newRow("a set-point above the voltage limit starts nothing")
        << plain
        << QStringList{"LIST:VOLT 45;DWEL 1;:INIT;:SYST:ERR? => -222,\"Data out of range\""}
        << QStringList{};
    QTest::newRow("the counters and their reset")
        << QStringList{"--model", "ZRM-522", "--output-on", "--vset", "5", "--load-ohms", "2"}
        << QStringList{"wait polls", "FETC:CHAR?;ENER? =~ 0\\.00[0-9]{4};0\\.0[0-9]{5}",
                       "SENS:ACC:RES;:FETC:CHAR?;ENER? => 0.000000;0.000000"}
        << QStringList{};
}

void TestRun::listOverSocket() {
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, exchanges);
    QFETCH(QStringList, wire);

    SimPanel s;
    const JoinedRuns runs = JoinRuns(s.panel());
    QVERIFY(s.Start(simArgs));
    RemoteControl remote(s.panel(), *ParseListenAddress(QStringLiteral("127.0.0.1:0")));
    remote.JoinRuns(*runs.control);
    ScpiClient client;
    QVERIFY(remote.Start() && client.Connect(remote.Server().AddressText()));
    for (const QString& exchange : exchanges) {
        if (exchange == u"wait") {
            QVERIFY(Ended(*runs.control));
            continue;
        }
        if (exchange == u"wait polls") {
            QVERIFY(WaitForPolls(s.sim(), PollCount(s.sim()), 3));
            continue;
        }
        const bool pattern = exchange.contains(u" =~ ");
        const QString separator = pattern ? QStringLiteral(" =~ ") : QStringLiteral(" => ");
        const QString message = exchange.section(separator, 0, 0);
        const QString reply = exchange.section(separator, 1);
        const QString got = client.Ask(message.toLatin1());
        if (pattern) {
            QVERIFY2(QRegularExpression(u'^' + reply + u'$').match(got).hasMatch(),
                     qPrintable(message + QStringLiteral(" gave ") + got));
        } else {
            QCOMPARE(got, reply);
        }
    }
    QCOMPARE(s.Sent(), wire);
}

QTEST_MAIN(TestRun)
#include "test_run.moc"
