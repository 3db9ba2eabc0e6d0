// SPDX-License-Identifier: GPL-3.0-or-later
// The pure reading of the serial line: reply framing, status lines, the
// model table match and the choice of the COM ports.
#include "supply_link.h"

#include <QTest>
#include <cfloat>

Q_DECLARE_METATYPE(SerialPortDescription)

namespace {

// A status line as the supply sends it after its lead character: 36
// characters, then the LF that ReadReply leaves on.
QString StatusPayload(const QString& digits = QStringLiteral("010201")) {
    return QStringLiteral("12.34 1.234 015.2 30 2.50 075 ") + digits + u'\n';
}

SerialPortDescription BuiltIn(const QString& path) {
    SerialPortDescription port;
    port.systemLocation = path;
    port.name = path.section(u'/', -1);
    return port;
}

SerialPortDescription Adapter(const QString& path, const QString& byId = {},
                              const QString& serial = {}, const QString& byPath = {}) {
    SerialPortDescription port = BuiltIn(path);
    port.vendorId = 0x0403;
    port.productId = 0x6001;
    port.manufacturer = QStringLiteral("FTDI");
    port.byIdName = byId;
    port.serialNumber = serial;
    port.byPathName = byPath;
    return port;
}

// Links among the paths of a mapping, by the device they stand for.
using Links = QHash<QString, QString>;

PanelState FreshState() {
    PanelState state;
    state.FillTables();
    return state;
}

} // namespace

class TestLine : public QObject {
    Q_OBJECT
private slots:
    void framing_data();
    void framing();
    void capacity();
    void connectionStatus_data();
    void connectionStatus();
    void statusFields_data();
    void statusFields();
    void pollCheck_data();
    void pollCheck();
    void pollModes_data();
    void pollModes();
    void modelRow_data();
    void modelRow();
    void statusDigit_data();
    void statusDigit();
    void singleNumber();
    void comPortOrder_data();
    void comPortOrder();
};

void TestLine::framing_data() {
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("raw");

    QTest::newRow("two characters and LF")
        << QByteArrayList{"SA\n"} << true << QStringLiteral("A\n") << QStringLiteral("SA\n");
    QTest::newRow("one character and LF")
        << QByteArrayList{"S\n"} << true << QStringLiteral("\n") << QStringLiteral("S\n");
    QTest::newRow("lone LF") << QByteArrayList{"\n"} << true << QString() << QStringLiteral("\n");
    QTest::newRow("three characters, no LF")
        << QByteArrayList{"abc"} << false << QStringLiteral("bc") << QStringLiteral("abc");
    QTest::newRow("nothing") << QByteArrayList{} << false << QString() << QString();
    QTest::newRow("two lines together") << QByteArrayList{"S1\nS2\n"} << true
                                        << QStringLiteral("1\nS2\n") << QStringLiteral("S1\nS2\n");
    QTest::newRow("inner LF does not end the line")
        << QByteArrayList{"S1\nS"} << false << QStringLiteral("1\nS") << QStringLiteral("S1\nS");
    QTest::newRow("line in pieces") << QByteArrayList{"S", "11", "0\r", "\n"} << true
                                    << QStringLiteral("110\r\n") << QStringLiteral("S110\r\n");
    QTest::newRow("8-bit characters kept")
        << QByteArrayList{"S\xb5\xff\n"} << true << QStringLiteral("\u00b5\u00ff\n")
        << QStringLiteral("S\u00b5\u00ff\n");
}

void TestLine::framing() {
    QFETCH(QByteArrayList, chunks);
    QFETCH(bool, complete);
    QFETCH(QString, payload);
    QFETCH(QString, raw);

    ReplyBuffer buffer;
    for (const QByteArray& chunk : chunks) {
        buffer.Append(chunk);
    }
    QCOMPARE(buffer.Complete(), complete);
    QCOMPARE(buffer.Payload(), payload);
    QCOMPARE(buffer.Raw(), raw);
    QVERIFY(!buffer.Full());
}

void TestLine::capacity() {
    ReplyBuffer buffer;
    buffer.Append(QByteArray(ReplyBuffer::kCapacity - 10, 'x'));
    QCOMPARE(buffer.Room(), qsizetype(10));
    QVERIFY(!buffer.Full());
    buffer.Append(QByteArray(25, 'y'));
    QVERIFY(buffer.Full());
    QCOMPARE(buffer.Room(), qsizetype(0));
    buffer.Append(QByteArray("\n"));
    QCOMPARE(buffer.Raw().size(), ReplyBuffer::kCapacity);
    QVERIFY(buffer.Raw().endsWith(QStringLiteral("yyyyyyyyyy")));
    QVERIFY(!buffer.Complete());
}

void TestLine::connectionStatus_data() {
    QTest::addColumn<QString>("payload");
    // voltage, current, power, voltage limit, current limit, power limit
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("complete");
    // OutputOn, OverTemp, FineMode, Locked afterwards; 7 marks "not read".
    QTest::addColumn<QList<int>>("digits");

    const QStringList full{"12.34", "1.234", "015.2", "30", "2.50", "075"};
    QTest::newRow("whole line") << StatusPayload() << full << true << QList<int>{0, 1, 0, 1};
    QTest::newRow("all ones") << StatusPayload(QStringLiteral("111011")) << full << true
                              << QList<int>{1, 1, 1, 1};
    QTest::newRow("30 characters stop at position 31")
        << StatusPayload().left(30) << full << false << QList<int>{7, 7, 7, 7};
    QTest::newRow("not a digit at 32")
        << StatusPayload(QStringLiteral("1x0201")) << full << false << QList<int>{1, 7, 7, 7};
    QTest::newRow("not a digit at 36")
        << StatusPayload(QStringLiteral("11120-")) << full << false << QList<int>{1, 1, 1, 7};
    QTest::newRow("blank at 33") << StatusPayload(QStringLiteral("11 201")) << full << false
                                 << QList<int>{1, 1, 7, 7};
    QTest::newRow("35 characters")
        << StatusPayload().left(35) << full << false << QList<int>{0, 1, 0, 7};
    QTest::newRow("fields cut short")
        << QStringLiteral("12.34 1.2") << QStringList{"12.34", "1.2", "", "", "", ""} << false
        << QList<int>{7, 7, 7, 7};
    QTest::newRow("empty") << QString() << QStringList{"", "", "", "", "", ""} << false
                           << QList<int>{7, 7, 7, 7};
}

void TestLine::connectionStatus() {
    QFETCH(QString, payload);
    QFETCH(QStringList, texts);
    QFETCH(bool, complete);
    QFETCH(QList<int>, digits);

    PanelState state = FreshState();
    state.OutputOn = state.OverTemp = state.FineMode = state.Locked = 7;
    const StatusLine status = ParseStatusLine(payload);
    QCOMPARE(ReadConnectionStatus(status, state), complete);
    QCOMPARE(
        (QStringList{status.voltage.text, status.current.text, status.power.text,
                     status.voltageLimit.text, status.currentLimit.text, status.powerLimit.text}),
        texts);
    QCOMPARE(state.VoltageSet, static_cast<float>(LeadingNumber(texts[0])));
    QCOMPARE(state.VoltageLimit, static_cast<float>(LeadingNumber(texts[3])));
    QCOMPARE(state.CurrentLimit, static_cast<float>(LeadingNumber(texts[4])));
    QCOMPARE(state.PowerLimit, static_cast<float>(LeadingNumber(texts[5])));
    QCOMPARE((QList<int>{state.OutputOn, state.OverTemp, state.FineMode, state.Locked}), digits);
}

void TestLine::statusFields_data() {
    QTest::addColumn<QString>("payload");
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("plain");

    // The voltage-limit field, positions 19 and 20.
    const auto withLimit = [](const QString& field) {
        return StatusPayload().left(18) + field + StatusPayload().mid(20);
    };
    QTest::newRow("30") << withLimit("30") << 30.0f << true;
    QTest::newRow("blank before the digit") << withLimit(" 5") << 5.0f << true;
    QTest::newRow("negative") << withLimit("-1") << -1.0f << false;
    QTest::newRow("letter after the digit") << withLimit("4x") << 4.0f << false;
    QTest::newRow("blank") << withLimit("  ") << 0.0f << false;
    QTest::newRow("carriage return before the digit") << withLimit("\r5") << 0.0f << false;
    QTest::newRow("no-break space before the digit")
        << withLimit(QStringLiteral("\u00a05")) << 0.0f << false;
    QTest::newRow("beyond a short line") << StatusPayload().left(18) << 0.0f << false;
}

void TestLine::statusFields() {
    QFETCH(QString, payload);
    QFETCH(float, value);
    QFETCH(bool, plain);

    const StatusField field = ParseStatusLine(payload).voltageLimit;
    QCOMPARE(field.value, value);
    QCOMPARE(field.plain.has_value(), plain);
    if (plain) {
        QCOMPARE(*field.plain, value);
    }
}

void TestLine::pollCheck_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("taken");

    QTest::newRow("empty") << QString() << false;
    QTest::newRow("capital E") << QStringLiteral("E") + StatusPayload() << false;
    QTest::newRow("capital A") << QStringLiteral("A") + StatusPayload().mid(1) << false;
    QTest::newRow("capital Z") << QStringLiteral("Z") + StatusPayload().mid(1) << false;
    QTest::newRow("36 characters with LF") << StatusPayload().left(35) + u'\n' << false;
    QTest::newRow("36 without LF") << StatusPayload().left(36) << false;
    QTest::newRow("37 characters") << StatusPayload() << true;
    QTest::newRow("longer line") << StatusPayload() + QStringLiteral("S") + StatusPayload() << true;
    QTest::newRow("not a digit at 32") << StatusPayload(QStringLiteral("0x0201")) << false;
    QTest::newRow("blank at 32") << StatusPayload(QStringLiteral("0 0201")) << false;
    QTest::newRow("other digits not checked") << StatusPayload(QStringLiteral("x1xxxx")) << true;
}

void TestLine::pollCheck() {
    QFETCH(QString, reply);
    QFETCH(bool, taken);

    PanelState state = FreshState();
    state.TimeoutCount = 4;
    state.VoltageSet = 5;
    state.CurrentLimit = 1;
    state.PowerLimit = 2;
    state.OverTemp = 0;
    const std::optional<StatusLine> status = ReadPollStatus(reply, state);
    QCOMPARE(status.has_value(), taken);
    if (taken) {
        QCOMPARE(state.TimeoutCount, std::int16_t(0));
        QCOMPARE(state.OverTemp, std::int16_t(1));
        QCOMPARE(state.VoltageSet, 12.34f);
        QCOMPARE(state.CurrentLimit, 2.5f);
        QCOMPARE(state.PowerLimit, 75.0f);
        QCOMPARE(status->voltage.text, QStringLiteral("12.34"));
        QCOMPARE(status->current.text, QStringLiteral("1.234"));
        QCOMPARE(status->power.text, QStringLiteral("015.2"));
        QCOMPARE(status->currentLimit.text, QStringLiteral("2.50"));
        QCOMPARE(status->powerLimit.text, QStringLiteral("075"));
    } else {
        QCOMPARE(state.TimeoutCount, std::int16_t(4));
        QCOMPARE(state.OverTemp, std::int16_t(0));
        QCOMPARE(state.VoltageSet, 5.0f);
        QCOMPARE(state.CurrentLimit, 1.0f);
        QCOMPARE(state.PowerLimit, 2.0f);
    }
}

void TestLine::pollModes_data() {
    QTest::addColumn<int>("fineMode");
    QTest::addColumn<QString>("editTarget");
    QTest::addColumn<bool>("showsVoltage");
    QTest::addColumn<float>("voltageSet");

    QTest::newRow("normal, vset") << 0 << QStringLiteral("vset") << true << 12.34f;
    QTest::newRow("normal, vlimit") << 0 << QStringLiteral("vlimit") << true << 12.34f;
    QTest::newRow("normal, plus") << 0 << QStringLiteral("plus") << true << 5.0f;
    QTest::newRow("normal, minus") << 0 << QStringLiteral("minus") << true << 5.0f;
    QTest::newRow("fine, vset") << 1 << QStringLiteral("vset") << false << 5.0f;
    QTest::newRow("fine, plus") << 1 << QStringLiteral("plus") << false << 5.0f;
}

void TestLine::pollModes() {
    QFETCH(int, fineMode);
    QFETCH(QString, editTarget);
    QFETCH(bool, showsVoltage);
    QFETCH(float, voltageSet);

    PanelState state = FreshState();
    state.FineMode = static_cast<std::int16_t>(fineMode);
    state.EditTarget = editTarget;
    state.VoltageSet = 5;
    state.VoltageLimit = 40;
    QVERIFY(ReadPollStatus(StatusPayload(), state));
    QCOMPARE(PollShowsVoltage(state), showsVoltage);
    QCOMPARE(state.VoltageSet, voltageSet);
    // The poll leaves the voltage limit and the other digits to the connection and the keys.
    QCOMPARE(state.VoltageLimit, 40.0f);
    QCOMPARE(state.FineMode, std::int16_t(fineMode));
    QCOMPARE(state.OutputOn, std::int16_t(0));
    QCOMPARE(state.Locked, std::int16_t(0));
}

void TestLine::modelRow_data() {
    QTest::addColumn<double>("maxVoltage");
    QTest::addColumn<int>("row");

    QTest::newRow("60") << 60.0 << 0;
    QTest::newRow("40") << 40.0 << 1;
    QTest::newRow("40.005") << 40.005 << 1;
    QTest::newRow("39.995") << 39.995 << 1;
    QTest::newRow("40.5") << 40.5 << -1;
    QTest::newRow("40.02") << 40.02 << -1;
    QTest::newRow("20") << 20.0 << 2;
    QTest::newRow("0") << 0.0 << -1;
    QTest::newRow("huge") << DBL_MAX << -1;
}

void TestLine::modelRow() {
    QFETCH(double, maxVoltage);
    QFETCH(int, row);
    QCOMPARE(MatchModelRow(maxVoltage, FreshState()), row);
}

void TestLine::statusDigit_data() {
    QTest::addColumn<QString>("payload");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("digit"); // -1: not a digit

    QTest::newRow("0") << QStringLiteral("a0") << 2 << 0;
    QTest::newRow("9") << QStringLiteral("9") << 1 << 9;
    QTest::newRow("letter") << QStringLiteral("a") << 1 << -1;
    QTest::newRow("plus sign") << QStringLiteral("+") << 1 << -1;
    QTest::newRow("blank") << QStringLiteral(" ") << 1 << -1;
    QTest::newRow("LF") << QStringLiteral("\n") << 1 << -1;
    QTest::newRow("beyond the end") << QStringLiteral("1") << 2 << -1;
    QTest::newRow("position 0") << QStringLiteral("1") << 0 << -1;
    QTest::newRow("Arabic-Indic digit") << QStringLiteral("\u0661") << 1 << -1;
}

void TestLine::statusDigit() {
    QFETCH(QString, payload);
    QFETCH(int, position);
    QFETCH(int, digit);
    QCOMPARE(StatusDigit(payload, position).value_or(-1), digit);
}

void TestLine::singleNumber() {
    QCOMPARE(SingleNumber(u"110\n"), 110.0f);
    QCOMPARE(SingleNumber(u"1E99"), FLT_MAX);
    QCOMPARE(SingleNumber(u"-1E99"), -FLT_MAX);
    QCOMPARE(SingleNumber(u""), 0.0f);
}

void TestLine::comPortOrder_data() {
    QTest::addColumn<QList<SerialPortDescription>>("ports");
    QTest::addColumn<QStringList>("overrides");
    // The device that a link among the overrides stands for.
    QTest::addColumn<Links>("links");
    QTest::addColumn<QStringList>("com");

    const QString a = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10-if00-port0");
    const QString b = QStringLiteral("usb-FTDI_FT232R_USB_UART_B20-if00-port0");
    const auto usb0 = Adapter("/dev/ttyUSB0", b, "B20");
    const auto usb1 = Adapter("/dev/ttyUSB1", a, "A10");
    const auto ttyS0 = BuiltIn("/dev/ttyS0");
    const Links noLinks;
    QTest::newRow("no ports") << QList<SerialPortDescription>{} << QStringList{} << noLinks
                              << QStringList{"", "", "", ""};
    QTest::newRow("built-in ports by number")
        << QList{BuiltIn("/dev/ttyS10"), BuiltIn("/dev/ttyS2"), ttyS0} << QStringList{} << noLinks
        << QStringList{"/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10", ""};
    QTest::newRow("one adapter before built-in ports")
        << QList{ttyS0, Adapter("/dev/ttyUSB0")} << QStringList{} << noLinks
        << QStringList{"/dev/ttyUSB0", "/dev/ttyS0", "", ""};
    QTest::newRow("two adapters by by-id name")
        << QList{usb0, usb1} << QStringList{} << noLinks
        << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB0", "", ""};
    QTest::newRow("two adapters, other enumeration order")
        << QList{usb1, usb0} << QStringList{} << noLinks
        << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB0", "", ""};
    QTest::newRow("adapters without by-id name by serial number, then path")
        << QList{Adapter("/dev/ttyUSB3"), Adapter("/dev/ttyUSB0", {}, "X9"),
                 Adapter("/dev/ttyUSB2", {}, "C3"), usb1}
        << QStringList{} << noLinks
        << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB0", "/dev/ttyUSB3"};
    // Identical adapters share one by-id name, which udev gives to one of
    // them; the socket tells them apart, socket 2 after socket 10 by value.
    const QString shared = QStringLiteral("usb-FTDI_FT232R_USB_UART-if00-port0");
    QTest::newRow("two adapters without serial numbers by USB socket")
        << QList{Adapter("/dev/ttyUSB0", shared, {}, "pci-0000:00:14.0-usb-0:10:1.0-port0"),
                 Adapter("/dev/ttyUSB1", {}, {}, "pci-0000:00:14.0-usb-0:2:1.0-port0")}
        << QStringList{} << noLinks << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB0", "", ""};
    QTest::newRow("ACM port without identifiers counts as an adapter")
        << QList{ttyS0, BuiltIn("/dev/ttyACM0")} << QStringList{} << noLinks
        << QStringList{"/dev/ttyACM0", "/dev/ttyS0", "", ""};
    QTest::newRow("more than four ports")
        << QList{ttyS0, BuiltIn("/dev/ttyS1"), BuiltIn("/dev/ttyS2"), BuiltIn("/dev/ttyS3"), usb0}
        << QStringList{} << noLinks
        << QStringList{"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2"};
    QTest::newRow("ZRM_COMn fills its place, the ports the rest")
        << QList{usb0, ttyS0} << QStringList{"", "/tmp/zrm-com2", "", "COM4"} << noLinks
        << QStringList{"/dev/ttyUSB0", "/tmp/zrm-com2", "/dev/ttyS0", "COM4"};
    QTest::newRow("override naming a missing device")
        << QList{ttyS0} << QStringList{"/tmp/missing"} << noLinks
        << QStringList{"/tmp/missing", "/dev/ttyS0", "", ""};
    QTest::newRow("override naming a listed port")
        << QList{usb0, ttyS0} << QStringList{"", "/dev/ttyUSB0"} << noLinks
        << QStringList{"/dev/ttyS0", "/dev/ttyUSB0", "", ""};
    QTest::newRow("override naming a listed port by its by-id link")
        << QList{usb0, ttyS0} << QStringList{"/dev/serial/by-id/" + b}
        << Links{{"/dev/serial/by-id/" + b, "/dev/ttyUSB0"}}
        << QStringList{"/dev/serial/by-id/" + b, "/dev/ttyS0", "", ""};
    QTest::newRow("the same device twice")
        << QList{usb0, ttyS0} << QStringList{"/dev/ttyUSB0", "", "/dev/ttyUSB0"} << noLinks
        << QStringList{"/dev/ttyUSB0", "/dev/ttyS0", "", ""};
}

void TestLine::comPortOrder() {
    QFETCH(QList<SerialPortDescription>, ports);
    QFETCH(QStringList, overrides);
    QFETCH(Links, links);
    QFETCH(QStringList, com);
    const auto deviceOf = [&](const QString& path) { return links.value(path, path); };
    QCOMPARE(OrderComPorts(ports, overrides, deviceOf), com);
}

QTEST_MAIN(TestLine)
#include "test_line.moc"
