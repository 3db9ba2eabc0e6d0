// SPDX-License-Identifier: GPL-3.0-or-later
// The supply's command set as the builders write it: every command once, the
// value patterns at their bounds, the values refused, and no builder output
// outside the set.
#include "command_set.h"
#include "panel_state.h"
#include "supply_commands.h"

#include <QRandomGenerator>
#include <QTest>
#include <limits>

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void commandSet_data();
    void commandSet();
    void buildersStayInTheSet();
};

void CommandsTest::commandSet_data() {
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    QTest::newRow("status query") << QString(Query::Status) << "L";
    QTest::newRow("plus percent query") << QString(Query::PlusPercent) << "B";
    QTest::newRow("minus percent query") << QString(Query::MinusPercent) << "D";
    QTest::newRow("voltage limit query") << QString(Query::VoltageLimit) << "U";
    QTest::newRow("current limit query") << QString(Query::CurrentLimit) << "I";
    QTest::newRow("set-point") << SetCommand(SetValue::VoltageSet, 7.5, 60) << "SV 07.50";
    QTest::newRow("set-point zero") << SetCommand(SetValue::VoltageSet, 0, 60) << "SV 00.00";
    QTest::newRow("set-point top, single precision")
        << SetCommand(SetValue::VoltageSet, 59.99f, 60) << "SV 59.99";
    QTest::newRow("set-point rounds half up")
        << SetCommand(SetValue::VoltageSet, 2.675, 60) << "SV 02.68";
    QTest::newRow("voltage limit") << SetCommand(SetValue::VoltageLimit, 60, 60) << "SU 60";
    QTest::newRow("voltage limit one digit")
        << SetCommand(SetValue::VoltageLimit, 1, 60) << "SU 01";
    QTest::newRow("current limit") << SetCommand(SetValue::CurrentLimit, 9.99f, 9.99f) << "SI 9.99";
    QTest::newRow("current limit least")
        << SetCommand(SetValue::CurrentLimit, 0.02f, 9.99f) << "SI 0.02";
    QTest::newRow("power limit") << SetCommand(SetValue::PowerLimit, 95, 210) << "SP 095";
    QTest::newRow("power limit most") << SetCommand(SetValue::PowerLimit, 210, 210) << "SP 210";
    // Refused: an empty command, which is never sent.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("set-point not a number") << SetCommand(SetValue::VoltageSet, nan, 60) << "";
    QTest::newRow("set-point infinite") << SetCommand(SetValue::VoltageSet, inf, 60) << "";
    QTest::newRow("voltage limit negative") << SetCommand(SetValue::VoltageLimit, -1, 60) << "";
    QTest::newRow("voltage limit above the maximum")
        << SetCommand(SetValue::VoltageLimit, 41, 40) << "";
    QTest::newRow("current limit above the maximum")
        << SetCommand(SetValue::CurrentLimit, 3.51f, 3.5f) << "";
    QTest::newRow("power limit wider than its pattern")
        << SetCommand(SetValue::PowerLimit, 1000, 2000) << "";
    QTest::newRow("set-point rounds wider than its pattern")
        << SetCommand(SetValue::VoltageSet, 99.996, 100) << "";
    QTest::newRow("set-point up") << StepCommand(StepValue::VoltageSet, +1) << "SV+";
    QTest::newRow("set-point down") << StepCommand(StepValue::VoltageSet, -1) << "SV-";
    QTest::newRow("voltage limit up") << StepCommand(StepValue::VoltageLimit, +1) << "SU+";
    QTest::newRow("voltage limit down") << StepCommand(StepValue::VoltageLimit, -1) << "SU-";
    QTest::newRow("current limit up") << StepCommand(StepValue::CurrentLimit, +1) << "SI+";
    QTest::newRow("current limit down") << StepCommand(StepValue::CurrentLimit, -1) << "SI-";
    QTest::newRow("power limit up") << StepCommand(StepValue::PowerLimit, +1) << "SP+";
    QTest::newRow("power limit down") << StepCommand(StepValue::PowerLimit, -1) << "SP-";
    QTest::newRow("plus percent up") << StepCommand(StepValue::PlusPercent, +1) << "SB+";
    QTest::newRow("plus percent down") << StepCommand(StepValue::PlusPercent, -1) << "SB-";
    QTest::newRow("minus percent up") << StepCommand(StepValue::MinusPercent, +1) << "SD+";
    QTest::newRow("minus percent down") << StepCommand(StepValue::MinusPercent, -1) << "SD-";
    QTest::newRow("voltage maximum") << MaximumCommand(Limit::Voltage) << "SUM";
    QTest::newRow("current maximum") << MaximumCommand(Limit::Current) << "SIM";
    QTest::newRow("all maxima") << MaximumCommand(Limit::Power) << "SPM";
    QTest::newRow("output") << QString(KeyCommand::ToggleOutput) << "KO";
    QTest::newRow("normal step") << QString(KeyCommand::NormalStep) << "KN";
    QTest::newRow("fine step") << QString(KeyCommand::FineStep) << "KF";
}

void CommandsTest::commandSet() {
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
    QVERIFY(expected.isEmpty() || kCommandSet.match(built).hasMatch());
}

// Any value the panel can hold for a setting (0 up to the model maxima, in
// single precision as the panel keeps it) gives a command of the set: no
// comma decimal, no line end, the pattern's digits exactly.
void CommandsTest::buildersStayInTheSet() {
    struct Range {
        SetValue value;
        float top;
    };
    const Range ranges[] = {{SetValue::VoltageSet, 60},
                            {SetValue::VoltageLimit, 60},
                            {SetValue::CurrentLimit, 9.99f},
                            {SetValue::PowerLimit, 210}};
    QRandomGenerator random(20261207);
    for (const auto& [value, top] : ranges) {
        for (int i = 0; i < 20000; ++i) {
            const float amount = i == 0 ? 0.0f : i == 1 ? top : top * random.generateDouble();
            const QString command = SetCommand(value, amount, top);
            QVERIFY2(kCommandSet.match(command).hasMatch(), qPrintable(command));
        }
    }
    for (auto value : {StepValue::VoltageSet, StepValue::VoltageLimit, StepValue::CurrentLimit,
                       StepValue::PowerLimit, StepValue::PlusPercent, StepValue::MinusPercent}) {
        for (Direction direction : {+1, -1}) {
            QVERIFY(kCommandSet.match(StepCommand(value, direction)).hasMatch());
        }
    }
}

QTEST_GUILESS_MAIN(CommandsTest)
#include "test_commands.moc"
