// SPDX-License-Identifier: GPL-3.0-or-later
// Runs as pure functions: the schedule of a run, the stop conditions and the
// counters over a series of readings, and the CSV run file with the errors a
// bad file or a value out of range gives; and the executor against a supply
// that stands in for the panel: what it sends, and when it waits for the line.
#include "run_counters.h"
#include "run_csv.h"
#include "run_executor.h"
#include "run_schedule.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

RunStep Step(double volts, qint64 ms, bool ramp = false, std::optional<double> amps = {},
             std::optional<double> watts = {}) {
    return RunStep{volts, amps, watts, ms, ramp};
}

Run Steps(const QList<RunStep>& steps, int repeat = 1, EndAction end = EndAction::OutputOff) {
    Run run;
    run.steps = steps;
    run.repeat = repeat;
    run.end = end;
    return run;
}

// "ms pass.step action": "0 0.0 V5", "1000 0.1 off".
QString Describe(const QList<RunCommand>& commands) {
    static const char* const names[] = {"I", "P", "V", "on", "off", "end"};
    QStringList lines;
    for (const RunCommand& c : commands) {
        QString text = QStringLiteral("%1 %2.%3 ").arg(c.ms).arg(c.pass).arg(c.step) +
                       names[static_cast<int>(c.action)];
        if (c.action <= RunAction::SetVoltage) {
            text += QString::number(c.value, 'g', 6);
        }
        lines.append(text);
    }
    return lines.join(QStringLiteral(", "));
}

// Markers in a list of readings: a poll that brought none, and a reset.
constexpr qint64 kGap = -1;
constexpr qint64 kReset = -2;

MeterReading At(qint64 ms, double volts, double amps = 0, double watts = 0) {
    return MeterReading{ms, volts, amps, watts};
}

// A ZRM-522 (40 V, 5 A, 200 W) with its voltage limit at 30 V.
constexpr RunLimits kLimits{40, 5, 200, 30};

// The panel as a run sees it, its line free or not: what it is asked to do.
class StandInSupply : public RunSupply {
public:
    bool idle = true;
    bool output = false;
    std::optional<qint64> pollInMs;
    QStringList calls;

    bool Idle() const override { return idle; }
    QString StartRefusal() const override { return {}; }
    RunLimits Limits() const override { return kLimits; }
    bool OutputOn() const override { return output; }
    double VoltageSet() const override { return 0; }
    void SetVoltage(double volts) override { calls.append(u'V' + QString::number(volts)); }
    void SetCurrentLimit(double amps) override { calls.append(u'I' + QString::number(amps)); }
    void SetPowerLimit(double watts) override { calls.append(u'P' + QString::number(watts)); }
    void ToggleOutput() override {
        output = !output;
        calls.append(output ? QStringLiteral("on") : QStringLiteral("off"));
    }
    std::optional<qint64> NextPollInMs() const override { return pollInMs; }
    void MovePoll(qint64 ms) override {
        calls.append(QStringLiteral("poll moved"));
        pollInMs = ms;
    }
};

} // namespace

class RunsTest : public QObject {
    Q_OBJECT
private slots:
    void schedule_data();
    void schedule();
    void stopConditions_data();
    void stopConditions();
    void counters_data();
    void counters();
    void csv_data();
    void csv();
    void fileExample();
    void executor_data();
    void executor();
};

void RunsTest::schedule_data() {
    QTest::addColumn<Run>("run");
    QTest::addColumn<double>("startVoltage");
    QTest::addColumn<QString>("expected");

    QTest::newRow("jumps: limits first, the output on after the first step's values")
        << Steps({Step(5, 1000, false, 1), Step(6, 1000)}) << 0.0
        << "0 0.0 I1, 0 0.0 V5, 0 0.0 on, 1000 0.1 V6, 2000 0.1 off, 2000 0.1 end";
    QTest::newRow("ramp: its start first, then four a second, the last the step's value")
        << Steps({Step(10, 1000, true)}) << 0.0
        << "0 0.0 V0, 0 0.0 on, 250 0.0 V2.5, 500 0.0 V5, 750 0.0 V7.5, 1000 0.0 V10, "
           "1000 0.0 off, 1000 0.0 end";
    QTest::newRow("ramp of the first step from the set-point in force")
        << Steps({Step(10, 500, true)}) << 8.0
        << "0 0.0 V8, 0 0.0 on, 250 0.0 V9, 500 0.0 V10, 500 0.0 off, 500 0.0 end";
    QTest::newRow("ramp from the step before, whose value is not sent again")
        << Steps({Step(4, 1000), Step(6, 1000, true)}) << 0.0
        << "0 0.0 V4, 0 0.0 on, 1250 0.1 V4.5, 1500 0.1 V5, 1750 0.1 V5.5, 2000 0.1 V6, "
           "2000 0.1 off, 2000 0.1 end";
    QTest::newRow("repeat: the second pass ramps from the last step's value")
        << Steps({Step(2, 1000, true), Step(1, 1000)}, 2) << 0.0
        << "0 0.0 V0, 0 0.0 on, 250 0.0 V0.5, 500 0.0 V1, 750 0.0 V1.5, 1000 0.0 V2, "
           "1000 0.1 V1, 2250 1.0 V1.25, 2500 1.0 V1.5, 2750 1.0 V1.75, 3000 1.0 V2, "
           "3000 1.1 V1, 4000 1.1 off, 4000 1.1 end";
    QTest::newRow("slow ramp: one set-point per hundredth of a volt, at even times")
        << Steps({Step(12.03, 10000, true)}) << 12.0
        << "0 0.0 V12, 0 0.0 on, 3333 0.0 V12.01, 6666 0.0 V12.02, 10000 0.0 V12.03, "
           "10000 0.0 off, 10000 0.0 end";
    QTest::newRow("ramp shorter than the interval: its start and its end")
        << Steps({Step(5, 100, true)}) << 0.0
        << "0 0.0 V0, 0 0.0 on, 100 0.0 V5, 100 0.0 off, 100 0.0 end";
    QTest::newRow("ramp to the value it starts from sends nothing")
        << Steps({Step(5, 1000), Step(5, 1000, true)}) << 0.0
        << "0 0.0 V5, 0 0.0 on, 2000 0.1 off, 2000 0.1 end";
    QTest::newRow("both limits, the current binds: it goes last")
        << Steps({Step(5, 1000, false, 1, 100)}) << 0.0
        << "0 0.0 P100, 0 0.0 I1, 0 0.0 V5, 0 0.0 on, 1000 0.0 off, 1000 0.0 end";
    QTest::newRow("both limits, the power binds: it goes last")
        << Steps({Step(5, 1000, false, 5, 50)}) << 0.0
        << "0 0.0 I5, 0 0.0 P50, 0 0.0 V5, 0 0.0 on, 1000 0.0 off, 1000 0.0 end";
    QTest::newRow("keep last step: no output off")
        << Steps({Step(5, 1000)}, 1, EndAction::KeepLastStep) << 0.0
        << "0 0.0 V5, 0 0.0 on, 1000 0.0 end";
    Run cut = Steps({Step(5, 1000), Step(6, 1000, true)}, 3);
    cut.stop.afterMs = 1500;
    QTest::newRow("stop after: the run ends then, in the step in progress")
        << cut << 0.0
        << "0 0.0 V5, 0 0.0 on, 1250 0.1 V5.25, 1500 0.1 V5.5, 1500 0.1 off, 1500 0.1 end";
}

void RunsTest::schedule() {
    QFETCH(Run, run);
    QFETCH(double, startVoltage);
    QFETCH(QString, expected);
    const SchedulePlan plan{startVoltage, kLimits.voltageLimit, kRampIntervalMs};
    QCOMPARE(Describe(Schedule(run, plan)), expected);
}

void RunsTest::stopConditions_data() {
    QTest::addColumn<StopConditions>("stop");
    QTest::addColumn<QList<MeterReading>>("readings");
    QTest::addColumn<int>("stopsAt"); // index of the reading that ends the run, -1 for none
    QTest::addColumn<StopReason>("reason");

    StopConditions above;
    above.voltageAbove = 14.4;
    QTest::newRow("voltage above: equal is not above")
        << above << QList{At(0, 14), At(1000, 14.4), At(2000, 14.41)} << 2
        << StopReason::VoltageAbove;
    StopConditions below;
    below.voltageBelow = 10;
    QTest::newRow("voltage below: equal is not below")
        << below << QList{At(0, 10), At(1000, 9.99)} << 1 << StopReason::VoltageBelow;

    StopConditions charged;
    charged.currentBelow = CurrentBelow{0.1, 2000};
    const auto low = [](qint64 ms) { return At(ms, 14.4, 0.09); };
    QTest::newRow("current below for a time, from the first reading below")
        << charged << QList{At(0, 14, 0.5), low(1000), low(2000), low(3000)} << 3
        << StopReason::CurrentBelow;
    QTest::newRow("current back up starts the time again")
        << charged << QList{low(0), At(1000, 14.4, 0.2), low(2000), low(3000), low(4000)} << 4
        << StopReason::CurrentBelow;
    QTest::newRow("a missed poll starts the time again")
        << charged << QList{low(0), low(1000), MeterReading{kGap}, low(2000), low(3000), low(4000)}
        << 5 << StopReason::CurrentBelow;
    QTest::newRow("readings more than 3 s apart start the time again")
        << charged << QList{low(0), low(3500), low(4500), low(5500)} << 3
        << StopReason::CurrentBelow;
    QTest::newRow("readings 3 s apart are joined")
        << charged << QList{low(0), low(3000)} << 1 << StopReason::CurrentBelow;
    StopConditions at;
    at.currentBelow = CurrentBelow{0.1, 0};
    QTest::newRow("current equal to the value is not below")
        << at << QList{At(0, 12, 0.1), At(1000, 12, 0.099)} << 1 << StopReason::CurrentBelow;

    StopConditions ampHours;
    ampHours.ampHours = 0.0015;
    const auto amps = [](qint64 ms) { return At(ms, 12, 3.6, 43.2); };
    QTest::newRow("amp-hours reached (1 mAh a second)")
        << ampHours << QList{amps(0), amps(1000), amps(2000)} << 2 << StopReason::AmpHours;
    QTest::newRow("nothing counts over a gap")
        << ampHours << QList{amps(0), MeterReading{kGap}, amps(1000), amps(2000), amps(3000)} << 4
        << StopReason::AmpHours;
    StopConditions wattHours;
    wattHours.wattHours = 0.015;
    QTest::newRow("watt-hours reached (12 mWh a second)")
        << wattHours << QList{amps(0), amps(1000), amps(2000)} << 2 << StopReason::WattHours;

    StopConditions several = charged;
    several.voltageAbove = 12;
    several.ampHours = 0.0001;
    QTest::newRow("several at once: the voltage first")
        << several << QList{amps(0), At(1000, 12.5, 0.05)} << 1 << StopReason::VoltageAbove;
    QTest::newRow("none met") << charged << QList{amps(0), amps(1000)} << -1
                              << StopReason::Completed;
}

void RunsTest::stopConditions() {
    QFETCH(StopConditions, stop);
    QFETCH(QList<MeterReading>, readings);
    QFETCH(int, stopsAt);
    QFETCH(StopReason, reason);
    StopCheck check(stop);
    for (int i = 0; i < readings.size(); ++i) {
        if (readings[i].ms == kGap) {
            check.Gap();
            continue;
        }
        const std::optional<StopReason> met = check.Take(readings[i]);
        QCOMPARE(met.has_value(), i == stopsAt);
        if (met) {
            QCOMPARE(*met, reason);
            return;
        }
    }
    QCOMPARE(stopsAt, -1);
}

void RunsTest::counters_data() {
    QTest::addColumn<QList<MeterReading>>("readings");
    QTest::addColumn<double>("ampSeconds");
    QTest::addColumn<double>("wattSeconds");

    const auto one = [](qint64 ms) { return At(ms, 10, 1, 10); };
    QTest::newRow("a trapezoid between two readings")
        << QList{At(0, 10, 1, 10), At(1000, 10, 3, 30)} << 2.0 << 20.0;
    QTest::newRow("one reading counts nothing") << QList{one(0)} << 0.0 << 0.0;
    QTest::newRow("nothing over a missed poll")
        << QList{one(0), one(1000), MeterReading{kGap}, one(2000), one(3000)} << 2.0 << 20.0;
    QTest::newRow("readings 3 s apart are joined") << QList{one(0), one(3000)} << 3.0 << 30.0;
    QTest::newRow("readings further apart are not") << QList{one(0), one(3001)} << 0.0 << 0.0;
    QTest::newRow("a reading out of order starts afresh")
        << QList{one(1000), one(500), one(1500)} << 1.0 << 10.0;
    QTest::newRow("reset: back to zero, the next reading starts afresh")
        << QList{one(0), one(1000), MeterReading{kReset}, one(2000), one(3000)} << 1.0 << 10.0;
}

void RunsTest::counters() {
    QFETCH(QList<MeterReading>, readings);
    QFETCH(double, ampSeconds);
    QFETCH(double, wattSeconds);
    EnergyCounter counter;
    for (const MeterReading& reading : readings) {
        if (reading.ms == kGap) {
            counter.Gap();
        } else if (reading.ms == kReset) {
            counter.Reset();
        } else {
            counter.Take(reading);
        }
    }
    QCOMPARE(counter.Totals().ampHours * 3600, ampSeconds);
    QCOMPARE(counter.Totals().wattHours * 3600, wattSeconds);
}

void RunsTest::csv_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error");   // the reader's, else the check's against kLimits
    QTest::addColumn<QString>("written"); // when it passes: as the writer writes it back

    const QString settings = "# ZRM run\n"
                             "repeat,2\n"
                             "end,keep last step\n"
                             "stop after (s),7200.5\n"
                             "stop when current below (A),0.105\n"
                             "stop when current below for (s),60\n"
                             "stop when voltage above (V),14.8\n"
                             "stop when voltage below (V),9.5\n"
                             "stop when charge reaches (Ah),1.234567\n"
                             "stop when energy reaches (Wh),20\n";
    const QString header = "voltage (V),current limit (A),power limit (W),duration (s),ramp\n";
    const QString steps = "12.50,2.00,,0.25,yes\n"
                          "14.40,,95,3600,no\n";
    const QString canonical = settings + header + steps;
    QTest::newRow("the written form reads back as it is") << canonical << "" << canonical;
    QTest::newRow("BOM, CRLF, quotes, case, blanks, comments, empty lines and cells")
        << QChar(0xfeff) +
               QString(
                   "# ZRM run\r\n\r\nREPEAT,\"2\",,\r\nEnd, Keep Last Step \r\n"
                   "stop after (s),7200.500\r\nstop when current below (A),.105\r\n"
                   "stop when current below for (s),60\r\nstop when voltage above (V),14.80\r\n"
                   "stop when voltage below (V),9.5\r\nstop when charge reaches (Ah),1.234567\r\n"
                   "stop when energy reaches (Wh),20\r\n,,,,\r\n"
                   "Voltage (V),Current Limit (A),Power Limit (W),Duration (s),Ramp,,\r\n"
                   "# a comment\r\n12.5,2,\"\",0.25,YES\r\n14.4,,95,3600,No,,\r\n")
        << "" << canonical;
    QTest::newRow("settings not given: one pass, output off at the end, no stop")
        << header + "5,,,1,\n"
        << ""
        << "# ZRM run\nrepeat,1\nend,output off\nstop after (s),\n"
           "stop when current below (A),\nstop when current below for (s),\n"
           "stop when voltage above (V),\nstop when voltage below (V),\n"
           "stop when charge reaches (Ah),\nstop when energy reaches (Wh),\n" +
               header + "5.00,,,1,no\n";

    const auto bad = [&](const char* name, const QString& file, const QString& error) {
        QTest::newRow(name) << file << error << "";
    };
    bad("not a number", header + "12V,,,1,no\n",
        "Line 2: voltage (V): \"12V\" is not a number (digits with at most one '.', no sign)");
    bad("a sign", header + "-1,,,1,no\n",
        "Line 2: voltage (V): \"-1\" is not a number (digits with at most one '.', no sign)");
    bad("two points", "repeat,1\n" + header + "1,1..5,,1,no\n",
        "Line 3: current limit (A): \"1..5\" is not a number (digits with at most one '.', no "
        "sign)");
    bad("duration in finer than milliseconds", header + "1,,,0.0005,no\n",
        "Line 2: duration (s): \"0.0005\" has more than 3 decimals");
    bad("no duration", header + "1,,,,yes\n", "Line 2: duration (s): a value is needed");
    bad("no voltage", header + ",1,,1\n", "Line 2: voltage (V): a value is needed");
    bad("ramp neither yes nor no", header + "1,,,1,maybe\n",
        "Line 2: ramp: \"maybe\" is not one of: yes, no");
    bad("a cell beyond the columns", header + "1,,,1,no,x\n",
        "Line 2: more cells than: "
        "voltage (V),current limit (A),power limit (W),duration (s),ramp");
    bad("unknown setting", "repat,2\n" + header + "1,,,1\n",
        "Line 1: \"repat\" is not a setting of a run");
    bad("setting given twice", "repeat,2\nrepeat,3\n" + header + "1,,,1\n",
        "Line 2: repeat is given twice");
    bad("setting with two values", "repeat,2,3\n" + header + "1,,,1\n",
        "Line 1: more cells than: repeat,value");
    bad("repeat not whole", "repeat,1.5\n" + header + "1,,,1\n",
        "Line 1: 1.5 is not a whole number from 1 to 1000000");
    bad("end word", "end,switch off\n" + header + "1,,,1\n",
        "Line 1: end: \"switch off\" is not one of: output off, keep last step");
    bad("columns in another order",
        "voltage (V),duration (s),current limit (A),power limit (W),ramp\n1,1,,,no\n",
        "Line 1: the header must be: "
        "voltage (V),current limit (A),power limit (W),duration (s),ramp");
    bad("a quote not closed", header + "1,\"2,,1,no\n", "Line 2: a quote that is not closed");
    bad("no header", "repeat,1\n",
        "the file ends before the header line: "
        "voltage (V),current limit (A),power limit (W),duration (s),ramp");
    bad("no steps", "# ZRM run\n" + header, "a run needs at least one step");
    bad("a time below a current without the current",
        "stop when current below for (s),60\n" + header + "1,,,1\n",
        "Line 1: a time to stay below a current needs the current: stop when current below (A)");

    // Read, but out of the model's ranges (ZRM-522, voltage limit 30 V).
    bad("set-point above the voltage limit in force", header + "5,,,1\n30.01,,,1\n",
        "Step 2, voltage (V): 30.01 V is above the voltage limit in force, 30 V");
    bad("set-point with three decimals", header + "5.125,,,1\n",
        "Step 1, voltage (V): 5.125 has more than 2 decimals");
    bad("current limit above the model's", header + "5,5.01,,1\n",
        "Step 1, current limit (A): 5.01 A is above the model's maximum, 5 A");
    bad("current limit below the least", header + "5,0.01,,1\n",
        "Step 1, current limit (A): 0.01 A is below the least current limit, 0.02 A");
    bad("power limit above the model's current at the voltage limit", header + "5,,151,1\n",
        "Step 1, power limit (W): 151 W is above what the model's current allows at the voltage "
        "limit in force, 150 W");
    bad("power limit in part watts", header + "5,,50.5,1\n",
        "Step 1, power limit (W): 50.5 has more than 0 decimals");
    bad("power limit zero", header + "5,,0,1\n",
        "Step 1, power limit (W): 0 W is below the least power limit, 1 W");
    bad("duration zero", header + "5,,,0\n", "Step 1, duration (s): 0 is not above 0");
    bad("duration too long", header + "5,,,1000000.001\n",
        "Step 1, duration (s): 1000000.001 s is longer than 1000000 s");
    bad("repeat zero", "repeat,0\n" + header + "5,,,1\n",
        "repeat: 0 is not a whole number from 1 to 1000000");
    bad("stop after zero", "stop after (s),0\n" + header + "5,,,1\n",
        "stop after (s): 0 is not above 0");
    bad("current to stay below above the model's",
        "stop when current below (A),6\n" + header + "5,,,1\n",
        "stop when current below (A): 6 A is above the model's maximum, 5 A");
    bad("stop below not under stop above",
        "stop when voltage above (V),12\nstop when voltage below (V),12\n" + header + "5,,,1\n",
        "stop when voltage below (V): 12 V is not below the voltage to stop above, 12 V: every "
        "reading would stop the run");
    bad("charge with seven decimals",
        "stop when charge reaches (Ah),0.0000001\n" + header + "5,,,1\n",
        "stop when charge reaches (Ah): 0.0000001 has more than 6 decimals");
}

void RunsTest::csv() {
    QFETCH(QString, file);
    QFETCH(QString, error);
    QFETCH(QString, written);
    const RunFile read = ReadRunCsv(file);
    std::optional<RunError> invalid;
    if (!read.error) {
        invalid = ValidateRun(read.run, kLimits);
    }
    QCOMPARE(read.error ? read.error->Text() : invalid ? invalid->Text() : QString(), error);
    if (error.isEmpty()) {
        QCOMPARE(RunCsv(read.run), written);
    }
}

// The example of the file's documentation, read into the run it stands for,
// saved and loaded again.
void RunsTest::fileExample() {
    const QString example = "# ZRM run\nrepeat,1\nend,output off\nstop after (s),36000\n"
                            "stop when current below (A),0.1\n"
                            "stop when current below for (s),60\n"
                            "stop when voltage above (V),\nstop when voltage below (V),\n"
                            "stop when charge reaches (Ah),\nstop when energy reaches (Wh),\n"
                            "voltage (V),current limit (A),power limit (W),duration (s),ramp\n"
                            "14.40,2.00,,36000,no\n";
    Run charge = Steps({Step(14.4, 36'000'000, false, 2.0)});
    charge.stop.afterMs = 36'000'000;
    charge.stop.currentBelow = CurrentBelow{0.1, 60'000};
    const RunFile read = ReadRunCsv(example);
    QVERIFY(!read.error);
    QCOMPARE(read.run, charge);
    QCOMPARE(RunCsv(charge), example);

    QTemporaryDir dir;
    const QString path = dir.filePath("charge.csv");
    QString error;
    QVERIFY2(SaveRunFile(path, charge, error), qPrintable(error));
    const RunFile loaded = LoadRunFile(path);
    QVERIFY(!loaded.error);
    QCOMPARE(loaded.run, charge);
    QCOMPARE(LoadRunFile(dir.filePath("missing.csv")).error.has_value(), true);
}

void RunsTest::executor_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("outcome"); // a RunOutcome; -1 while the run is active

    const QStringList first{"V5", "on"};
    QTest::newRow("the line busy at the start: after the wait") << "busy start" << first << -1;
    QTest::newRow("Stop waits for the line, then the end action")
        << "stop while busy" << first + QStringList{"off"} << static_cast<int>(RunOutcome::Stopped);
    QTest::newRow("a reading ends it with the end action")
        << "reading" << first + QStringList{"off"} << static_cast<int>(RunOutcome::VoltageAbove);
    QTest::newRow("paused, a reading still ends it")
        << "paused reading" << first + QStringList{"off"}
        << static_cast<int>(RunOutcome::VoltageAbove);
    QTest::newRow("keep last step: no end action")
        << "keep last step" << first << static_cast<int>(RunOutcome::Stopped);
    QTest::newRow("a lost link ends it without a command")
        << "lost link" << first << static_cast<int>(RunOutcome::LinkLost);
    QTest::newRow("OUTPUT ends it without a command")
        << "output key" << first << static_cast<int>(RunOutcome::OutputKey);
    QTest::newRow("a poll due at the next step is moved behind it")
        << "poll" << QStringList{"V5", "poll moved", "on"} << -1;
}

void RunsTest::executor() {
    QFETCH(QString, cause);
    QFETCH(QStringList, calls);
    QFETCH(int, outcome);

    StandInSupply supply;
    RunExecutor executor(supply);
    Run run = Steps({Step(5, cause == u"poll" ? 100 : 60'000), Step(6, 60'000)}, 1,
                    cause == u"keep last step" ? EndAction::KeepLastStep : EndAction::OutputOff);
    run.stop.voltageAbove = 6.5;
    supply.idle = cause != u"busy start";
    supply.pollInMs = cause == u"poll" ? std::optional<qint64>(50) : std::nullopt;
    QCOMPARE(executor.Start(run), std::nullopt);
    if (cause == u"busy start") {
        QCOMPARE(supply.calls, QStringList{});
        supply.idle = true;
        executor.Continue();
    } else if (cause == u"stop while busy") {
        supply.idle = false;
        executor.Stop();
        QCOMPARE(executor.State(), RunState::Ending);
        QCOMPARE(supply.calls, (QStringList{"V5", "on"}));
        supply.idle = true;
        executor.Continue();
    } else if (cause == u"reading" || cause == u"paused reading") {
        if (cause == u"paused reading") {
            executor.Pause();
        }
        executor.TakeReading(At(1000, 5));
        QCOMPARE(executor.Progress().outcome, std::nullopt);
        executor.TakeReading(At(2000, 7));
    } else if (cause == u"keep last step") {
        executor.Stop();
    } else if (cause == u"lost link") {
        executor.LinkLost();
    } else if (cause == u"output key") {
        executor.OutputKey();
    }
    QCOMPARE(supply.calls, calls);
    QCOMPARE(executor.Active(), outcome < 0);
    if (outcome >= 0) {
        QCOMPARE(static_cast<int>(executor.Progress().outcome.value()), outcome);
    }
}

QTEST_GUILESS_MAIN(RunsTest)
#include "test_runs.moc"
