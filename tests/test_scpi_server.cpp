// SPDX-License-Identifier: GPL-3.0-or-later
// The SCPI server over real TCP sockets, against a stand-in for the panel:
// clients apart from each other, commands held while the panel is busy and
// carried out in order after, what a client sent before it closed, the port
// in use and the most clients.
#include "fake_instrument.h"
#include "scpi_client.h"
#include "scpi_server.h"

#include <QRegularExpression>
#include <QTest>
#include <memory>
#include <sys/socket.h>

namespace {

constexpr int kClients = 4;

struct Served {
    FakeInstrument fake;
    ScpiServer server{fake};

    bool Start() { return server.Listen(*ParseListenAddress(QStringLiteral("127.0.0.1:0"))); }
    void BecomeIdle() {
        fake.idle = true;
        server.Resume();
    }
};

} // namespace

class ScpiServerTest : public QObject {
    Q_OBJECT
private slots:
    void clientsApart();
    void heldWhileBusy();
    void closedClient_data();
    void closedClient();
    void portInUse();
    void mostClients();
    void listenAddresses_data();
    void listenAddresses();
};

void ScpiServerTest::clientsApart() {
    Served s;
    QVERIFY(s.Start());
    std::unique_ptr<ScpiClient> clients[kClients];
    for (auto& client : clients) {
        client = std::make_unique<ScpiClient>();
        QVERIFY(client->Connect(s.server.AddressText()));
    }
    QTRY_COMPARE(s.server.ClientCount(), kClients);
    // Each client makes its own error and asks for its own queue, all at once.
    for (int i = 0; i < kClients; ++i) {
        clients[i]->Send(QByteArray(i + 1, 'X') + "\nSYST:ERR:COUN?;VOLT?\nSYST:ERR?\n*IDN?");
    }
    for (auto& client : clients) {
        QCOMPARE(client->ReadLines(3),
                 (QStringList{"1;5.00", "-113,\"Undefined header\"",
                              QStringLiteral("zrm-panel,ZRM-522,0,") + ZRM_VERSION}));
    }
    clients[0]->Close();
    QTRY_COMPARE(s.server.ClientCount(), kClients - 1);
}

void ScpiServerTest::heldWhileBusy() {
    Served s;
    QVERIFY(s.Start());
    ScpiClient voltage;
    ScpiClient current;
    QVERIFY(voltage.Connect(s.server.AddressText()));
    QVERIFY(current.Connect(s.server.AddressText()));
    s.fake.idle = false;
    constexpr int kCommands = 1000;
    QStringList expected[2];
    for (int i = 0; i < kCommands; ++i) {
        const double volts = i % 4000 / 100.0;
        const double amperes = 0.02 + i % 498 / 100.0;
        voltage.Send("VOLT " + QByteArray::number(volts, 'f', 2));
        current.Send("CURR " + QByteArray::number(amperes, 'f', 2));
        expected[0] << QStringLiteral("SV %1").arg(volts, 5, 'f', 2, u'0');
        expected[1] << QStringLiteral("SI %1").arg(amperes, 4, 'f', 2);
    }
    voltage.Send("*OPC?");
    current.Send("*OPC?");
    // The server has tried to run them and was held back: nothing runs inside
    // the panel's wait.
    QTRY_VERIFY(s.fake.idleChecks > 0);
    QVERIFY(s.fake.wire.isEmpty());
    s.BecomeIdle();
    QCOMPARE(voltage.ReadLine(), QStringLiteral("1"));
    QCOMPARE(current.ReadLine(), QStringLiteral("1"));
    // Each client's commands in the order it sent them, the two taken in turn.
    QCOMPARE(s.fake.wire.filter(QRegularExpression("^SV")), expected[0]);
    QCOMPARE(s.fake.wire.filter(QRegularExpression("^SI")), expected[1]);
    QCOMPARE(s.fake.wire.mid(0, 2), (QStringList{expected[0][0], expected[1][0]}));
}

void ScpiServerTest::closedClient_data() {
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("halfClosed"); // shuts its sending side only, and reads on
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QStringList>("replies");
    QTest::newRow("a whole command")
        << QByteArray("OUTP ON\n") << false << QStringList{"KO"} << QStringList{};
    QTest::newRow("with CR LF and a query")
        << QByteArray("OUTP ON\r\nOUTP?\r\n") << false << QStringList{"KO"} << QStringList{};
    QTest::newRow("cut off in its middle")
        << QByteArray("OUTP ON\nVOLT 1") << false << QStringList{"KO"} << QStringList{};
    QTest::newRow("nothing whole")
        << QByteArray("OUTP O") << false << QStringList{} << QStringList{};
    QTest::newRow("half closed, as nc -q1 does")
        << QByteArray("OUTP ON;OUTP?\n*IDN?\n") << true << QStringList{"KO"}
        << QStringList{"1", QStringLiteral("zrm-panel,ZRM-522,0,") + ZRM_VERSION};
}

// As `echo 'OUTP ON' | nc -q1 127.0.0.1 5025` does it: write, close at once,
// while the panel is busy.
void ScpiServerTest::closedClient() {
    QFETCH(QByteArray, sent);
    QFETCH(bool, halfClosed);
    QFETCH(QStringList, wire);
    QFETCH(QStringList, replies);
    Served s;
    QVERIFY(s.Start());
    s.fake.idle = false;
    ScpiClient client;
    QVERIFY(client.Connect(s.server.AddressText()));
    client.Write(sent);
    QVERIFY(client.Flush());
    if (halfClosed) {
        QCOMPARE(::shutdown(static_cast<int>(client.Socket().socketDescriptor()), SHUT_WR), 0);
    } else {
        client.Close();
    }
    // The server has held back what came, or found nothing whole and let the client go.
    QTRY_VERIFY(s.fake.idleChecks > 0 || s.server.ClientCount() == 0);
    s.BecomeIdle();
    QTRY_COMPARE(s.server.ClientCount(), 0);
    QCOMPARE(s.fake.wire, wire);
    if (halfClosed) {
        QCOMPARE(client.ReadLines(static_cast<int>(replies.size())), replies);
        QTRY_COMPARE(client.Socket().state(), QAbstractSocket::UnconnectedState);
    }
}

void ScpiServerTest::portInUse() {
    Served first;
    QVERIFY(first.Start());
    Served second;
    QVERIFY(!second.server.Listen(*ParseListenAddress(first.server.AddressText())));
    QVERIFY(!second.server.ErrorString().isEmpty());
    QVERIFY(!second.server.IsListening());
}

void ScpiServerTest::mostClients() {
    Served s;
    QVERIFY(s.Start());
    std::vector<std::unique_ptr<ScpiClient>> clients;
    for (int i = 0; i <= ScpiServer::kMaxClients; ++i) {
        clients.push_back(std::make_unique<ScpiClient>());
        QVERIFY(clients.back()->Connect(s.server.AddressText()));
    }
    QTRY_COMPARE(clients.back()->Socket().state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(s.server.ClientCount(), ScpiServer::kMaxClients);
    QCOMPARE(clients.front()->Ask("OUTP?"), QStringLiteral("0"));
}

void ScpiServerTest::listenAddresses_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: refused
    QTest::addColumn<int>("port");
    QTest::newRow("default") << kDefaultListenAddress << "127.0.0.1" << 5025;
    QTest::newRow("any") << "0.0.0.0:5025"
                         << "0.0.0.0" << 5025;
    QTest::newRow("localhost") << "localhost:6000"
                               << "127.0.0.1" << 6000;
    QTest::newRow("IPv6") << "[::1]:5025"
                          << "::1" << 5025;
    QTest::newRow("a port the system picks") << "127.0.0.1:0"
                                             << "127.0.0.1" << 0;
    QTest::newRow("no port") << "127.0.0.1"
                             << "" << 0;
    QTest::newRow("port too large") << "127.0.0.1:65536"
                                    << "" << 0;
    QTest::newRow("not an address") << "panel.example:5025"
                                    << "" << 0;
}

void ScpiServerTest::listenAddresses() {
    QFETCH(QString, text);
    QFETCH(QString, address);
    QFETCH(int, port);
    const std::optional<ListenAddress> parsed = ParseListenAddress(text);
    QCOMPARE(parsed.has_value(), !address.isEmpty());
    if (parsed) {
        QCOMPARE(parsed->address, QHostAddress(address));
        QCOMPARE(static_cast<int>(parsed->port), port);
    }
}

QTEST_GUILESS_MAIN(ScpiServerTest)
#include "test_scpi_server.moc"
