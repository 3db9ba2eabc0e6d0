// SPDX-License-Identifier: GPL-3.0-or-later
// Remote control's SCPI layer against a stand-in for the panel: the framing
// of the input, header forms and paths, numbers and units, every error, the
// status registers and the error queue. Each row gives the panel's state,
// the messages a client sends, the reply to each, what the panel would put on
// the wire and the errors left in the client's queue.
#include "command_set.h"
#include "fake_instrument.h"
#include "scpi_framer.h"
#include "scpi_session.h"

#include <QTest>

namespace {

const QString kIdentity = QStringLiteral("zrm-panel,ZRM-522,0," ZRM_VERSION);

// "lost edit on fine vlimit=10 ...": the stand-in's state for a row.
void Prepare(FakeInstrument& fake, const QString& state) {
    for (const QString& word : state.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = word.section(u'=', 0, 0);
        const float value = word.section(u'=', 1).toFloat();
        if (key == u"lost") {
            fake.lost = true;
        } else if (key == u"edit") {
            fake.editOpen = true;
        } else if (key == u"on") {
            fake.output = true;
        } else if (key == u"fine") {
            fake.fine = true;
        } else if (key == u"hot") {
            fake.overTemperature = true;
        } else if (key == u"zrm3033") {
            fake.model = QStringLiteral("ZRM-3033");
            fake.maxVoltage = 20;
            fake.maxCurrent = 9.99f;
            fake.maxPower = 199;
            fake.At(Setting::VoltageLimit) = 20;
        } else if (key == u"unidentified") {
            fake.model.clear();
        } else if (key == u"silent") {
            fake.fresh.reset();
        } else if (key == u"unread") {
            fake.last.reset();
        } else if (key == u"vset") {
            fake.At(Setting::VoltageSet) = value;
        } else if (key == u"vlimit") {
            fake.At(Setting::VoltageLimit) = value;
        } else if (key == u"reading") {
            // current,power,current limit,power limit
            const QStringList f = word.section(u'=', 1).split(u',');
            fake.last =
                SupplyReading{12, f[0].toFloat(), f[1].toFloat(), f[2].toFloat(), f[3].toFloat()};
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown state word ") + word));
        }
    }
}

QList<int> TakeErrors(ScpiStatus& status) {
    QList<int> codes;
    while (status.errors.Count() > 0) {
        codes << status.errors.Take().section(u',', 0, 0).toInt();
    }
    return codes;
}

void AddColumns() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("input"); // messages, one a line
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QList<int>>("errors");
}

void Row(const char* name, const QString& state, const QString& input, const QStringList& replies,
         const QStringList& wire = {}, const QList<int>& errors = {}) {
    QTest::newRow(name) << state << input << replies << wire << errors;
}

void CheckRow() {
    QFETCH(QString, state);
    QFETCH(QString, input);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, wire);
    QFETCH(QList<int>, errors);
    FakeInstrument fake;
    Prepare(fake, state);
    ScpiSession session(fake);
    InputFramer framer;
    QList<ScpiMessage> messages;
    framer.Append((input + u'\n').toLatin1(), messages);
    QStringList got;
    for (const ScpiMessage& message : messages) {
        got << session.Run(message);
    }
    QCOMPARE(got, replies);
    QCOMPARE(fake.wire, wire);
    for (const QString& line : std::as_const(fake.wire)) {
        QVERIFY2(kCommandSet.match(line).hasMatch(), qPrintable(line));
    }
    QCOMPARE(TakeErrors(session.Status()), errors);
}

using namespace ScpiError;

} // namespace

class ScpiTest : public QObject {
    Q_OBJECT
private slots:
    void framing_data();
    void framing();
    void headers_data();
    void headers() { CheckRow(); }
    void numbers_data();
    void numbers() { CheckRow(); }
    void errors_data();
    void errors() { CheckRow(); }
    void refusals_data();
    void refusals() { CheckRow(); }
    void statusRegisters_data();
    void statusRegisters() { CheckRow(); }
    void errorQueueOverflow();
};

void ScpiTest::framing_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("messages"); // "<too long>" for one too long
    const QByteArray longest(InputFramer::kMaxMessage, 'A');
    QTest::newRow("LF") << QList<QByteArray>{"*IDN?\n"} << QList<QByteArray>{"*IDN?"};
    QTest::newRow("CR LF") << QList<QByteArray>{"*IDN?\r\n"} << QList<QByteArray>{"*IDN?"};
    QTest::newRow("several in one chunk")
        << QList<QByteArray>{"A\nB\r\nC\n"} << QList<QByteArray>{"A", "B", "C"};
    QTest::newRow("split over chunks, CR and LF apart")
        << QList<QByteArray>{"VO", "LT 5\r", "\nOUTP", " ON\n"}
        << QList<QByteArray>{"VOLT 5", "OUTP ON"};
    QTest::newRow("empty lines are no messages")
        << QList<QByteArray>{"\n\r\nA\n\n"} << QList<QByteArray>{"A"};
    QTest::newRow("no LF yet") << QList<QByteArray>{"OUTP ON"} << QList<QByteArray>{};
    QTest::newRow("lone CR inside is kept for the parser")
        << QList<QByteArray>{"A\rB\n"} << QList<QByteArray>{"A\rB"};
    QTest::newRow("4 KiB is the most")
        << QList<QByteArray>{longest + "\r\n"} << QList<QByteArray>{longest};
    QTest::newRow("one more is too long, the next message is fine")
        << QList<QByteArray>{longest + "B\nC\n"} << QList<QByteArray>{"<too long>", "C"};
    QTest::newRow("too long across many chunks")
        << QList<QByteArray>{longest, longest, longest, "\nC\n"}
        << QList<QByteArray>{"<too long>", "C"};
}

void ScpiTest::framing() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, messages);
    InputFramer framer;
    QList<ScpiMessage> out;
    for (const QByteArray& chunk : chunks) {
        framer.Append(chunk, out);
    }
    QList<QByteArray> got;
    for (const ScpiMessage& message : out) {
        got << (message.tooLong ? QByteArray("<too long>") : message.text);
    }
    QCOMPARE(got, messages);
}

void ScpiTest::headers_data() {
    AddColumns();
    Row("identity", "", "*IDN?", {kIdentity});
    Row("identity, any case", "", "*idn?", {kIdentity});
    Row("identity, no model yet", "unidentified", "*IDN?",
        {QStringLiteral("zrm-panel,unknown,0," ZRM_VERSION)});
    Row("short form", "", "VOLT 7.5", {""}, {"SV 07.50"});
    Row("long form", "", "VOLTAGE 7.5", {""}, {"SV 07.50"});
    Row("lower case", "", "voltage 7.5", {""}, {"SV 07.50"});
    Row("mixed case", "", "Volt 7.5", {""}, {"SV 07.50"});
    Row("every optional node", "", "SOURce:VOLTage:LEVel:IMMediate:AMPLitude 7.5", {""},
        {"SV 07.50"});
    Row("some optional nodes", "", "sour:volt:ampl 7.5", {""}, {"SV 07.50"});
    Row("leading colon", "", ":VOLT 7.5", {""}, {"SV 07.50"});
    Row("blanks around", "", "  VOLT\t 7.5  ", {""}, {"SV 07.50"});
    Row("neither short nor long", "", "VOLTA 7.5", {""}, {}, {UndefinedHeader});
    Row("query", "", "VOLT?", {"5.00"});
    Row("query of its bounds", "", "VOLT? MAX;VOLT? MIN;VOLT:LIM? MAX;CURR? MIN;POW? MAX",
        {"40.00;0.00;40;0.02;200"});
    Row("queries joined in order", "", "*IDN?;VOLT?;OUTP?", {kIdentity + ";5.00;0"});
    Row("chain from the root", "", "VOLT 12;CURR 2", {""}, {"SV 12.00", "SI 2.00"});
    Row("chain continues the path", "", "SOUR:VOLT 12;CURR 2;POW 50", {""},
        {"SV 12.00", "SI 2.00", "SP 050"});
    Row("chain continues a deeper path", "", "MEAS:VOLT?;CURR?;POW?", {"4.99;0.499;2.5"},
        {"L", "L", "L"});
    Row("the path before the root", "", "MEAS:VOLT?;CURR?;:CURR?", {"4.99;0.499;5.00"}, {"L", "L"});
    Row("undefined at the path, taken from the root", "", "VOLT:LIM 30;VOLT 12;VOLT:LIM?", {"30"},
        {"SU 30", "SV 12.00"});
    Row("a colon goes back to the root", "", "VOLT:LIM 30;:VOLT 12", {""}, {"SU 30", "SV 12.00"});
    Row("common commands keep the path", "", "MEAS:VOLT?;*OPC?;CURR?", {"4.99;1;0.499"},
        {"L", "L"});
    Row("empty commands are skipped", "", "VOLT 5;;OUTP ON;", {""}, {"SV 05.00", "KO"});
    Row("voltage limit", "", "VOLT:LIM 30;VOLT:LIM?", {"30"}, {"SU 30"});
    Row("current limit", "", "CURRENT:LEVEL 2.5;CURR?", {"2.50"}, {"SI 2.50"});
    Row("power limit", "", "POW 95;POWER?", {"95"}, {"SP 095"});
    Row("output on", "", "OUTP ON;OUTP?", {"1"}, {"KO"});
    Row("output on by number", "", "OUTPUT:STATE 1", {""}, {"KO"});
    Row("output off when off sends nothing", "", "OUTP OFF;OUTP 0", {""});
    Row("output off", "on", "OUTP OFF;OUTP?", {"0"}, {"KO"});
    Row("fine steps", "", "SYST:STEP FINE;SYST:STEP?;VOLT:STEP?", {"FINE;0.01"}, {"KF"});
    Row("normal steps", "fine", "system:step normal;SYST:STEP?;VOLT:STEP:INCR?", {"NORM;1.00"},
        {"KN"});
    Row("step up and down", "", "VOLT UP;VOLT UP;VOLT DOWN;VOLT?", {"6.00"}, {"SV+", "SV+", "SV-"});
    Row("fine step", "fine", "VOLT UP", {""}, {"SV+"});
    Row("lock and unlock", "", "SYST:KLOC ON;SYST:KLOC?\nSYST:KLOCK:STATE OFF;SYST:KLOC?",
        {"1", "0"});
    Row("reconnect", "", "SYST:REC", {""});
    Row("fresh reading", "", "MEAS?;MEAS:SCAL:VOLT:DC?;MEAS:CURR?;MEAS:POW:DC?",
        {"4.99;4.99;0.499;2.5"}, {"L", "L", "L", "L"});
    Row("last reading, no traffic", "", "FETC?;FETCH:VOLT?;FETC:CURR:DC?;FETC:SCAL:POW?",
        {"5.00;5.00;0.000;0.0"});
    Row("self-test asks the supply", "", "*TST?", {"0"}, {"L"});
    Row("self-test of a silent supply", "silent", "*TST?", {"1"}, {"L"});
    Row("version", "", "SYST:VERS?", {"1999.0"});
    Row("no error", "", "SYST:ERR?;SYST:ERR:NEXT?;SYST:ERR:COUN?",
        {"0,\"No error\";0,\"No error\";0"});
    Row("reset switches the output off", "on", "*RST;OUTP?", {"0"}, {"KO"});
    Row("reset with the output off sends nothing", "", "*RST", {""});
    Row("over-temperature", "hot", "STAT:QUES:COND?", {"16"});
    Row("constant voltage", "on reading=1.2,14.4,5.00,200", "STATUS:QUESTIONABLE:CONDITION?",
        {"0"});
    Row("constant current", "on reading=4.995,59.9,5.00,200", "STAT:QUES:COND?", {"3"});
    Row("constant power", "on reading=4.6,99.8,5.00,100", "STAT:QUES:COND?", {"9"});
    Row("no regulation with the output off", "reading=4.995,59.9,5.00,200", "STAT:QUES:COND?",
        {"0"});
}

void ScpiTest::numbers_data() {
    AddColumns();
    const QStringList sent{"SV 07.50"};
    Row("decimal", "", "VOLT 7.5", {""}, sent);
    Row("sign", "", "VOLT +7.50", {""}, sent);
    Row("no leading digit", "", "VOLT .75E1", {""}, sent);
    Row("exponent", "", "VOLT 75E-1", {""}, sent);
    Row("exponent with sign and capital", "", "VOLT 0.0075E+3", {""}, sent);
    Row("volts", "", "VOLT 7.5V", {""}, sent);
    Row("volts apart", "", "VOLT 7.5 V", {""}, sent);
    Row("millivolts", "", "VOLT 7500MV", {""}, sent);
    Row("millivolts, lower case", "", "VOLT 7500 mv", {""}, sent);
    Row("amperes", "", "CURR 1.5A", {""}, {"SI 1.50"});
    Row("milliamperes", "", "CURR 1500MA", {""}, {"SI 1.50"});
    Row("watts", "", "POW 95W", {""}, {"SP 095"});
    Row("a limit in volts", "", "VOLT:LIM 30V", {""}, {"SU 30"});
    Row("the bound itself passes", "", "VOLT 40", {""}, {"SV 40.00"});
    Row("rounded to the supply's resolution", "", "VOLT 7.456;VOLT?;VOLT:LIM 12.4;VOLT:LIM?",
        {"7.46;12"}, {"SV 07.46", "SU 12"});
    Row("rounded half away from zero", "", "VOLT:LIM 12.5;CURR 1.234;POW 60.5", {""},
        {"SU 13", "SI 1.23", "SP 061"});
    Row("rounding to the bound passes", "", "VOLT 40.004;POW 200.4", {""}, {"SV 40.00", "SP 200"});
    Row("rounding past the bound is refused", "", "VOLT 40.005", {""}, {}, {DataOutOfRange});
    Row("the most whole watts at the voltage limit", "zrm3033 vlimit=15", "POW? MAX;POW MAX;POW?",
        {"149;149"}, {"SP 149"});
    Row("a watt beyond that is refused", "zrm3033 vlimit=15", "POW 149.6", {""}, {},
        {DataOutOfRange});
    Row("maximum", "", "VOLT MAX", {""}, {"SV 40.00"});
    Row("maximum, long form", "", "VOLT maximum", {""}, {"SV 40.00"});
    Row("minimum", "", "VOLT MIN", {""}, {"SV 00.00"});
    Row("default set-point is the least", "", "VOLT DEF", {""}, {"SV 00.00"});
    Row("default limit is the model's", "", "VOLT:LIM DEFAULT;CURR DEF", {""},
        {"SU 40", "SI 5.00"});
    Row("least current", "", "CURR MIN", {""}, {"SI 0.02"});
    Row("most power", "", "POW MAX", {""}, {"SP 200"});
    Row("maximum follows the voltage limit", "vlimit=10", "VOLT MAX;POW MAX", {""},
        {"SV 10.00", "SP 050"});
    Row("above the voltage limit", "vlimit=10", "VOLT 10.01", {""}, {}, {DataOutOfRange});
    Row("power above the current at the voltage limit", "vlimit=10", "POW 51", {""}, {},
        {DataOutOfRange});
    Row("negative", "", "VOLT -0.01", {""}, {}, {DataOutOfRange});
    Row("above the model's voltage", "", "VOLT:LIM 41", {""}, {}, {DataOutOfRange});
    Row("below the least voltage limit", "", "VOLT:LIM 0.4", {""}, {}, {DataOutOfRange});
    Row("below the least current", "", "CURR 0.01", {""}, {}, {DataOutOfRange});
    Row("above the model's current", "", "CURR 5.01", {""}, {}, {DataOutOfRange});
    Row("above the model's power", "", "POW 201", {""}, {}, {DataOutOfRange});
    Row("beyond single precision", "", "VOLT 1E39", {""}, {}, {DataOutOfRange});
    Row("beyond double precision", "", "VOLT 1E400", {""}, {}, {DataOutOfRange});
    Row("step up refused at the limit", "vset=40", "VOLT UP", {""}, {}, {DataOutOfRange});
    Row("step down refused at zero", "vset=0.5", "VOLT DOWN", {""}, {}, {DataOutOfRange});
    Row("unit of another quantity", "", "VOLT 5A", {""}, {}, {InvalidSuffix});
    Row("volts for a current", "", "CURR 1V", {""}, {}, {InvalidSuffix});
    Row("unit the supply does not take", "", "POW 5KW", {""}, {}, {InvalidSuffix});
    Row("unit on a switch", "", "OUTP 1V", {""}, {}, {InvalidSuffix});
    Row("unit on a mask", "", "*ESE 4V", {""}, {}, {InvalidSuffix});
    Row("lists with units, on the supply's resolution", "",
        "LIST:VOLT 5 V,500 mV,7.456;VOLT?;:LIST:CURR 1500 MA;CURR?;:LIST:DWEL 1.5,250 MS;DWEL?",
        {"5.00,0.50,7.46;1.50;1.500,0.250"});
    Row("list count and its bounds", "", "LIST:COUN MAX;COUN?;COUN MIN;COUN?;COUN 7;COUN?",
        {"1000000;1;7"});
    Row("a count that is no whole number", "", "LIST:COUN 1.5", {""}, {}, {DataOutOfRange});
    Row("a count of 0", "", "LIST:COUN 0", {""}, {}, {DataOutOfRange});
    Row("unit on a count", "", "LIST:COUN 2 S", {""}, {}, {InvalidSuffix});
    Row("unit of another quantity in a list", "", "LIST:VOLT 5,1 A", {""}, {}, {InvalidSuffix});
    Row("a list longer than a run", "", "LIST:VOLT " + QStringList(1001, "5").join(u','), {""}, {},
        {TooMuchData});
}

void ScpiTest::errors_data() {
    AddColumns();
    Row("unknown header", "", "FOO", {""}, {}, {UndefinedHeader});
    Row("unknown node", "", "VOLT:FOO 5", {""}, {}, {UndefinedHeader});
    Row("unknown common command", "", "*FOO", {""}, {}, {UndefinedHeader});
    Row("query of a set-only command", "", "*RST?", {""}, {}, {UndefinedHeader});
    Row("set of a query-only command", "", "MEAS:VOLT", {""}, {}, {UndefinedHeader});
    Row("missing value", "", "VOLT", {""}, {}, {MissingParameter});
    Row("missing value after blanks", "", "VOLT:LIM   ", {""}, {}, {MissingParameter});
    Row("missing switch", "", "OUTP", {""}, {}, {MissingParameter});
    Row("missing mask", "", "*ESE", {""}, {}, {MissingParameter});
    Row("string for a number", "", "VOLT 'abc'", {""}, {}, {DataTypeError});
    Row("word for a number", "", "VOLT ON", {""}, {}, {DataTypeError});
    Row("string for a switch", "", "OUTP \"ON\"", {""}, {}, {DataTypeError});
    Row("word for a switch", "", "OUTP MAX", {""}, {}, {DataTypeError});
    Row("non-decimal number", "", "VOLT #H10", {""}, {}, {DataTypeError});
    Row("number for the step size", "", "SYST:STEP 1", {""}, {}, {DataTypeError});
    Row("step for a limit", "", "CURR UP", {""}, {}, {DataTypeError});
    Row("number as a query's bound", "", "VOLT? 5", {""}, {}, {DataTypeError});
    Row("parameter of a query", "", "*IDN? 1", {""}, {}, {ParameterNotAllowed});
    Row("parameter of a reading", "", "MEAS:VOLT? MAX", {""}, {}, {ParameterNotAllowed});
    Row("two values", "", "VOLT 5,6", {""}, {}, {ParameterNotAllowed});
    Row("word in a list", "", "LIST:DWEL 1,MAX", {""}, {}, {DataTypeError});
    Row("control character", "", "VOLT 5\x01", {""}, {}, {InvalidCharacter});
    Row("lone CR", "", "VOLT\r5", {""}, {}, {InvalidCharacter});
    Row("byte beyond ASCII", "", QString::fromLatin1("VOLT 5\xe9"), {""}, {}, {InvalidCharacter});
    Row("path ends in a colon", "", "VOLT:", {""}, {}, {SyntaxError});
    Row("empty node", "", "VOLT::LIM 5", {""}, {}, {SyntaxError});
    Row("no blank after the header", "", "VOLT$ 5", {""}, {}, {SyntaxError});
    Row("empty value after a comma", "", "VOLT 5,", {""}, {}, {SyntaxError});
    Row("two points", "", "VOLT 1.2.3", {""}, {}, {SyntaxError});
    Row("open quote", "", "VOLT 'abc", {""}, {}, {SyntaxError});
    Row("digits as a unit", "", "VOLT 5 5", {""}, {}, {SyntaxError});
    Row("header starts with a digit", "", "1VOLT 5", {""}, {}, {SyntaxError});
    Row("a bad command stops the whole message", "", "OUTP ON;VOLT:FOO 5", {""}, {},
        {UndefinedHeader});
    Row("and its queries too", "", "*IDN?;FOO", {""}, {}, {UndefinedHeader});
    Row("each message stands alone", "", "FOO\nOUTP ON;OUTP?", {"", "1"}, {"KO"},
        {UndefinedHeader});
}

void ScpiTest::refusals_data() {
    AddColumns();
    Row("a refused set skips the sets after it", "", "VOLT 99;OUTP ON", {""}, {}, {DataOutOfRange});
    Row("but its queries answer", "", "VOLT 99;OUTP?;*OPC?", {"0;1"}, {}, {DataOutOfRange});
    Row("the next message runs", "", "VOLT 99\nOUTP ON", {"", ""}, {"KO"}, {DataOutOfRange});
    Row("set during an edit", "edit", "VOLT 5", {""}, {}, {SettingsConflict});
    Row("queries answer during an edit", "edit", "VOLT?;MEAS:VOLT?;OUTP?", {"5.00;4.99;0"}, {"L"});
    Row("output during an edit", "edit", "OUTP ON", {""}, {}, {SettingsConflict});
    Row("step during an edit", "edit", "VOLT UP", {""}, {}, {SettingsConflict});
    Row("step size during an edit", "edit", "SYST:STEP FINE", {""}, {}, {SettingsConflict});
    Row("lock during an edit", "edit", "SYST:KLOC ON", {""}, {}, {SettingsConflict});
    Row("reset during an edit", "edit", "*RST", {""}, {}, {SettingsConflict});
    Row("reconnect during an edit", "edit", "SYST:REC", {""}, {}, {SettingsConflict});
    Row("reconnect during an edit on a lost link", "edit lost", "SYST:REC", {""});
    Row("set on a lost link", "lost", "VOLT 5", {""}, {}, {HardwareError});
    Row("output on a lost link", "lost", "OUTP ON", {""}, {}, {HardwareError});
    Row("lost link first, then the edit", "lost edit", "CURR 1", {""}, {}, {HardwareError});
    Row("lock on a lost link", "lost", "SYST:KLOC ON;SYST:KLOC?", {"1"});
    Row("fresh reading on a lost link", "lost", "MEAS:VOLT?", {"9.91E+37"}, {}, {HardwareError});
    Row("last reading on a lost link", "lost", "FETC:CURR?", {"9.91E+37"}, {}, {HardwareError});
    Row("settings answer on a lost link", "lost", "VOLT?;*IDN?", {"5.00;" + kIdentity});
    Row("self-test on a lost link", "lost", "*TST?", {"1"});
    Row("reconnect on a lost link", "lost", "SYST:REC", {""});
    Row("a supply that stays silent", "silent", "MEAS:VOLT?", {"9.91E+37"}, {"L"}, {HardwareError});
    Row("no reading yet", "unread", "FETC?", {"9.91E+37"}, {}, {DataStale});
}

void ScpiTest::statusRegisters_data() {
    AddColumns();
    Row("nothing to report", "", "*ESR?;*STB?", {"0;16"});
    Row("command error", "", "FOO\n*ESR?\n*ESR?", {"", "32", "0"}, {}, {UndefinedHeader});
    Row("execution error", "", "VOLT 99\n*ESR?", {"", "16"}, {}, {DataOutOfRange});
    Row("operation complete", "", "*OPC;*ESR?;*ESR?", {"1;0"});
    Row("error queued in the status byte", "", "FOO\n*STB?", {"", "4"}, {}, {UndefinedHeader});
    Row("event summary and service request", "", "*ESE 32;*SRE 32;*ESE?;*SRE?\nFOO\n*STB?",
        {"32;32", "", "100"}, {}, {UndefinedHeader});
    Row("a message waiting in the status byte", "", "*IDN?;*STB?", {kIdentity + ";16"});
    Row("clear status", "", "FOO\n*CLS;*ESR?;SYST:ERR:COUN?", {"", "0;0"});
    Row("mask out of range", "", "*ESE 256", {""}, {}, {DataOutOfRange});
    Row("mask rounds", "", "*ESE 3.6;*ESE?", {"4"});
    Row("wait does nothing", "", "*WAI;*OPC?", {"1"});
    Row("errors in order", "", "FOO\nVOLT 99\nSYST:ERR?;SYST:ERR?;SYST:ERR?",
        {"", "", "-113,\"Undefined header\";-222,\"Data out of range\";0,\"No error\""});
}

void ScpiTest::errorQueueOverflow() {
    FakeInstrument fake;
    ScpiSession session(fake);
    for (int i = 0; i < ErrorQueue::kCapacity + 5; ++i) {
        session.Run({"FOO", false});
    }
    session.Run({{}, true});
    QCOMPARE(session.Run({"SYST:ERR:COUN?", false}), QString::number(ErrorQueue::kCapacity));
    QList<int> codes = TakeErrors(session.Status());
    QCOMPARE(codes.size(), ErrorQueue::kCapacity);
    QCOMPARE(codes.takeLast(), QueueOverflow);
    QCOMPARE(codes, QList<int>(ErrorQueue::kCapacity - 1, UndefinedHeader));
    session.Run({{}, true});
    QCOMPARE(session.Run({"SYST:ERR?", false}), QStringLiteral("-223,\"Too much data\""));
}

QTEST_APPLESS_MAIN(ScpiTest)
#include "test_scpi.moc"
