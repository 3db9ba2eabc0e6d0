// SPDX-License-Identifier: GPL-3.0-or-later
// The number operations behind every display and command, the float
// arithmetic that the keys' bound tests rely on, the fixed tables, the texts
// the user sees (pinned here once; the other tests take them from
// panel_texts.h) and the rules that tie the values together.
#include "panel_rules.h"
#include "panel_state.h"
#include "panel_texts.h"

#include <QTest>

class NumberOpsTest : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
    void formatWithPattern_data();
    void formatWithPattern();
    void integerPart_data();
    void integerPart();
    void floatSteps();
    void tables();
    void texts_data();
    void texts();
    void entryBound_data();
    void entryBound();
    void powerFromLimits_data();
    void powerFromLimits();
    void currentFromPowerLimit_data();
    void currentFromPowerLimit();
};

void NumberOpsTest::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("plain") << "7.5" << 7.5;
    QTest::newRow("status field") << "12.34" << 12.34;
    QTest::newRow("reply with line feed") << "110\n" << 110.0;
    QTest::newRow("leading blanks") << "  \t\n42" << 42.0;
    QTest::newRow("blanks inside") << "1 2. 5" << 12.5;
    QTest::newRow("blank after sign") << "- 3" << -3.0;
    QTest::newRow("plus sign") << "+8" << 8.0;
    QTest::newRow("minus sign") << "-1" << -1.0;
    QTest::newRow("exponent E") << "1.5E2" << 150.0;
    QTest::newRow("exponent D") << "25D-1" << 2.5;
    QTest::newRow("exponent with plus") << "2E+3" << 2000.0;
    QTest::newRow("exponent with blanks") << "2 E 1" << 20.0;
    QTest::newRow("exponent without digits") << "3E" << 3.0;
    QTest::newRow("exponent sign without digits") << "3E-" << 3.0;
    QTest::newRow("lower-case e ends the number") << "3e2" << 3.0;
    QTest::newRow("second point ends it") << "1.2.3" << 1.2;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("trailing point") << "5." << 5.0;
    QTest::newRow("trailing text") << "5V" << 5.0;
    QTest::newRow("text first") << "abc" << 0.0;
    QTest::newRow("letter first") << "V5" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks only") << "   " << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("comma is no point") << "1,5" << 1.0;
    QTest::newRow("carriage return ends it") << "4\r5" << 4.0;
    QTest::newRow("huge stays finite") << "1E999" << 1.7976931348623157e308;
}

void NumberOpsTest::leadingNumber() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(LeadingNumber(text), expected);
}

void NumberOpsTest::formatWithPattern_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    QTest::newRow("7.5 00.00") << 7.5 << "00.00"
                               << "07.50";
    QTest::newRow("95 000") << 95.0 << "000"
                            << "095";
    QTest::newRow("5 00") << 5.0 << "00"
                          << "05";
    QTest::newRow("40 00") << 40.0 << "00"
                           << "40";
    QTest::newRow("27.5 000") << 27.5 << "000"
                              << "028";
    QTest::newRow("26.5 000 half away") << 26.5 << "000"
                                        << "027";
    QTest::newRow("3.53 0.00") << 3.53 << "0.00"
                               << "3.53";
    QTest::newRow("float 3.53 0.00") << double(3.5f + 0.03f) << "0.00"
                                     << "3.53";
    QTest::newRow("59.9999 00.00") << 59.9999 << "00.00"
                                   << "60.00";
    QTest::newRow("2.675 0.00") << 2.675 << "0.00"
                                << "2.68";
    QTest::newRow("0.125 0.00") << 0.125 << "0.00"
                                << "0.13";
    QTest::newRow("0.005 0.00") << 0.005 << "0.00"
                                << "0.01";
    QTest::newRow("0.004 0.00") << 0.004 << "0.00"
                                << "0.00";
    QTest::newRow("zero 00.00") << 0.0 << "00.00"
                                << "00.00";
    QTest::newRow("zero 0") << 0.0 << "0"
                            << "0";
    QTest::newRow("longer integer part") << 1234.5 << "00.00"
                                         << "1234.50";
    QTest::newRow("longer than 000") << 2100.0 << "000"
                                     << "2100";
    QTest::newRow("rounds into a new digit") << 99.996 << "00.00"
                                             << "100.00";
    QTest::newRow("0 pattern rounds") << 59.5 << "0"
                                      << "60";
    QTest::newRow("small 0.00") << 0.02 << "0.00"
                                << "0.02";
    QTest::newRow("9.99 0.00") << double(9.99f) << "0.00"
                               << "9.99";
    QTest::newRow("fifty fine steps") << 60.0000076 << "00.00"
                                      << "60.00";
    QTest::newRow("negative") << -1.5 << "00.00"
                              << "-01.50";
    QTest::newRow("negative rounds to zero") << -0.001 << "0.00"
                                             << "0.00";
    QTest::newRow("huge") << 1e20 << "0"
                          << "100000000000000000000";
}

void NumberOpsTest::formatWithPattern() {
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(FormatWithPattern(value, pattern), expected);
}

void NumberOpsTest::integerPart_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("27.5") << 27.5 << 27.0;
    QTest::newRow("199.8") << double(20.0f * 9.99f) << 199.0;
    QTest::newRow("whole") << 210.0 << 210.0;
    QTest::newRow("just below") << 34.999 << 34.0;
    QTest::newRow("zero") << 0.0 << 0.0;
}

void NumberOpsTest::integerPart() {
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(IntegerPart(value), expected);
}

// The keys' bound tests run in float; these are the sums they depend on.
void NumberOpsTest::floatSteps() {
    float voltage = 59.5f;
    const float fine = 0.01f;
    for (int step = 0; step < 50; ++step) {
        const float candidate = voltage + fine;
        QVERIFY2(!(candidate > 60.0f), qPrintable(QString::number(step)));
        voltage = candidate;
    }
    QCOMPARE(FormatWithPattern(voltage, u"00.00"), QStringLiteral("60.00"));
    QVERIFY(voltage + fine > 60.0f);

    const float current = 0.03f - 0.01f;
    QVERIFY(!(current < 0.02f));
    QVERIFY(current - 0.01f < 0.02f);
}

void NumberOpsTest::tables() {
    PanelState state;
    state.FillTables();
    QCOMPARE(state.EditTarget, QStringLiteral("vset"));
    QCOMPARE(state.LongPressTime, 1.5);
    const char* const names[] = {"ZRM-711", "ZRM-522", "ZRM-3033"};
    const float maxima[][3] = {{60, 3.5f, 210}, {40, 5, 200}, {20, 9.99f, 199}};
    for (int row = 0; row < kModelCount; ++row) {
        QCOMPARE(state.ModelName[row], QLatin1String(names[row]));
        QCOMPARE(state.ModelMaxVoltage[row], maxima[row][0]);
        QCOMPARE(state.ModelMaxCurrent[row], maxima[row][1]);
        QCOMPARE(state.ModelMaxPower[row], maxima[row][2]);
        // Each maximum power is the whole-watt product of the other two.
        QCOMPARE(float(IntegerPart(state.ModelMaxVoltage[row] * state.ModelMaxCurrent[row])),
                 state.ModelMaxPower[row]);
    }
    QCOMPARE(state.VoltageStep[0], 1.0f);
    QCOMPARE(state.VoltageStep[1], 0.01f);
    QCOMPARE(state.CurrentStep[0], 0.1f);
    QCOMPARE(state.CurrentStep[1], 0.01f);
    QCOMPARE(state.ModelIndex, std::int16_t(0));
    QCOMPARE(state.ReplyPending, kFalse);
    QCOMPARE(state.TimeoutCount, std::int16_t(0));
}

void NumberOpsTest::texts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("finding") << QString(StatusPanel1::Finding)
                             << "Finding the interface and Collecting data from ZRM";
    QTest::newRow("ready") << QString(StatusPanel1::Ready) << "Ready";
    QTest::newRow("status error") << QString(StatusPanel1::CommunicationError)
                                  << "Communication error!";
    QTest::newRow("sending") << QString(StatusPanel1::Sending)
                             << "Send several commands to ZRM! Please wait a minute.";
    QTest::newRow("message") << QString(MessageText::CommunicationError)
                             << "Communication error! Please check the interface.";
    QTest::newRow("message title") << QString(MessageText::CommunicationErrorTitle) << "Warning";
    QTest::newRow("second copy") << QString(MessageText::AlreadyRunning)
                                 << "This program is running now!";
    QTest::newRow("progress start") << QString(ProgressText::Start) << "Connectting!";
    QTest::newRow("progress scan")
        << QString(ProgressText::Scanning) << "Connectting ZRM from RS232...";
    QTest::newRow("not present") << QString(PortOutcomeText::NotPresent) << "not present";
    QTest::newRow("denied")
        << QString(PortOutcomeText::Denied)
        << "permission denied: add your user to the dialout group and log in again";
    QTest::newRow("busy") << QString(PortOutcomeText::Busy) << "busy: another program holds it";
    QTest::newRow("stale lock")
        << QString(PortOutcomeText::StaleLock)
        << "locked by a stale lock file %1 (process %2 is gone): remove it as root";
    QTest::newRow("silent") << QString(PortOutcomeText::Silent) << "opened, no answer within 1 s";
    QTest::newRow("at start") << QString(TargetCaption::AtStart) << "VSET ";
    QTest::newRow("V SET") << QString(TargetCaption::VoltageSet) << "V SET";
    QTest::newRow("V LIMIT") << QString(TargetCaption::VoltageLimit) << "V LIMIT";
    QTest::newRow("I LIMIT") << QString(TargetCaption::CurrentLimit) << "I LIMIT";
    QTest::newRow("P LIMIT") << QString(TargetCaption::PowerLimit) << "P LIMIT";
    QTest::newRow("+%") << QString(TargetCaption::PlusPercent) << "+%";
    QTest::newRow("-%") << QString(TargetCaption::MinusPercent) << "-%";
}

void NumberOpsTest::texts() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(text, shown);
}

void NumberOpsTest::entryBound_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<float>("upper");
    QTest::addColumn<QString>("upperText");
    QTest::addColumn<float>("lower");
    QTest::addColumn<QString>("kept"); // the box's text afterwards

    QTest::newRow("within") << "7.5" << 30.0f << "30.00" << 0.0f << "7.5";
    QTest::newRow("at the upper bound") << "30" << 30.0f << "30.00" << 0.0f << "30";
    QTest::newRow("above") << "45" << 30.0f << "30.00" << 0.0f << "30.00";
    QTest::newRow("below zero") << "-1" << 30.0f << "30.00" << 0.0f << "0";
    QTest::newRow("below 1 V") << "0.5" << 40.0f << "40" << kLeastVoltageLimit << "1";
    QTest::newRow("below 0.02 A") << "0.01" << 5.0f << "5.00" << kLeastCurrentLimit << "0.02";
    QTest::newRow("at 0.02 A") << "0.02" << 5.0f << "5.00" << kLeastCurrentLimit << "0.02";
    QTest::newRow("below 1 W") << "0" << 200.0f << "200" << kLeastPowerLimit << "1";
    QTest::newRow("text after the number stays") << "12abc" << 30.0f << "30.00" << 0.0f << "12abc";
    QTest::newRow("no number counts as 0") << "abc" << 40.0f << "40" << kLeastVoltageLimit << "1";
}

void NumberOpsTest::entryBound() {
    QFETCH(QString, typed);
    QFETCH(float, upper);
    QFETCH(QString, upperText);
    QFETCH(float, lower);
    QFETCH(QString, kept);
    QCOMPARE(EntryBound(typed, upper, upperText, lower).value_or(typed), kept);
}

void NumberOpsTest::powerFromLimits_data() {
    QTest::addColumn<float>("voltageLimit");
    QTest::addColumn<float>("currentLimit");
    QTest::addColumn<float>("power");

    QTest::newRow("30 V, 2.5 A") << 30.0f << 2.5f << 75.0f;
    QTest::newRow("whole watts only") << 33.0f << 2.5f << 82.0f;
    QTest::newRow("the model's maxima") << 40.0f << 5.0f << 200.0f;
    QTest::newRow("single-precision product") << 20.0f << 9.99f << 199.0f;
    QTest::newRow("no current") << 40.0f << 0.0f << 0.0f;
}

void NumberOpsTest::powerFromLimits() {
    QFETCH(float, voltageLimit);
    QFETCH(float, currentLimit);
    QFETCH(float, power);
    QCOMPARE(PowerFromLimits(voltageLimit, currentLimit), power);
}

void NumberOpsTest::currentFromPowerLimit_data() {
    QTest::addColumn<float>("powerLimit");
    QTest::addColumn<float>("voltageLimit");
    QTest::addColumn<float>("current"); // -1: none

    QTest::newRow("whole hundredths and the headroom") << 82.0f << 33.0f << 2.51f;
    QTest::newRow("exact") << 75.0f << 30.0f << 2.53f;
    QTest::newRow("the model's power") << 200.0f << 40.0f << 5.03f;
    QTest::newRow("no voltage limit") << 82.0f << 0.0f << -1.0f;
}

void NumberOpsTest::currentFromPowerLimit() {
    QFETCH(float, powerLimit);
    QFETCH(float, voltageLimit);
    QFETCH(float, current);
    QCOMPARE(CurrentFromPowerLimit(powerLimit, voltageLimit).value_or(-1.0f), current);
}

QTEST_GUILESS_MAIN(NumberOpsTest)
#include "test_number_ops.moc"
