// SPDX-License-Identifier: GPL-3.0-or-later
// The supply's command set as the builders write it: every command once, the
// value patterns at their bounds, and no builder output outside the set.
#include "panel_state.h"
#include "supply_commands.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

namespace {

// Everything the supply understands, and nothing else.
const QRegularExpression kCommandSet(QStringLiteral(
    R"(^(L|B|D|U|I|SV \d\d\.\d\d|SU \d\d|SI \d\.\d\d|SP \d\d\d|S[VUIPBD][+-]|S[UIP]M|K[ONF])$)"));

} // namespace

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
    QTest::newRow("set-point") << SetCommand(SetValue::VoltageSet, 7.5) << "SV 07.50";
    QTest::newRow("set-point zero") << SetCommand(SetValue::VoltageSet, 0) << "SV 00.00";
    QTest::newRow("set-point top, single precision")
        << SetCommand(SetValue::VoltageSet, 59.99f) << "SV 59.99";
    QTest::newRow("set-point rounds half up")
        << SetCommand(SetValue::VoltageSet, 2.675) << "SV 02.68";
    QTest::newRow("voltage limit") << SetCommand(SetValue::VoltageLimit, 60) << "SU 60";
    QTest::newRow("voltage limit one digit") << SetCommand(SetValue::VoltageLimit, 1) << "SU 01";
    QTest::newRow("current limit") << SetCommand(SetValue::CurrentLimit, 9.99f) << "SI 9.99";
    QTest::newRow("current limit least") << SetCommand(SetValue::CurrentLimit, 0.02f) << "SI 0.02";
    QTest::newRow("power limit") << SetCommand(SetValue::PowerLimit, 95) << "SP 095";
    QTest::newRow("power limit most") << SetCommand(SetValue::PowerLimit, 210) << "SP 210";
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
    QVERIFY(kCommandSet.match(built).hasMatch());
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
            const QString command = SetCommand(value, amount);
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
