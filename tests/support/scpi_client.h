// SPDX-License-Identifier: GPL-3.0-or-later
// ScpiClient: a script's side of remote control, a plain TCP socket that
// writes command lines and reads reply lines, waiting with the event loop
// running so that a server in the same process goes on working.
//
//   ScpiClient client;
//   QVERIFY(client.Connect(server.AddressText()));
//   QCOMPARE(client.Ask("*IDN?"), QString("zrm-panel,ZRM-522,0,1.0.0"));
//   client.Send("OUTP ON");
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTcpSocket>

class ScpiClient {
public:
    static constexpr int kDefaultTimeoutMs = 10000;

    // "127.0.0.1:5025"; true once connected.
    bool Connect(const QString& address, int timeoutMs = kDefaultTimeoutMs);
    // Writes the line and its LF.
    void Send(const QByteArray& line);
    // Writes bytes as they are.
    void Write(const QByteArray& bytes);
    // The next reply line without its LF; "<no reply>" at the deadline.
    QString ReadLine(int timeoutMs = kDefaultTimeoutMs);
    // Send, then ReadLine.
    QString Ask(const QByteArray& line, int timeoutMs = kDefaultTimeoutMs);
    // Waits until n reply lines have come and returns them.
    QStringList ReadLines(int n, int timeoutMs = kDefaultTimeoutMs);
    // Whether a reply line is waiting.
    bool HasLine() const { return socket_.canReadLine(); }
    // Waits until everything written has left this side.
    bool Flush(int timeoutMs = kDefaultTimeoutMs);
    void Close();
    QTcpSocket& Socket() { return socket_; }

private:
    QTcpSocket socket_;
};
