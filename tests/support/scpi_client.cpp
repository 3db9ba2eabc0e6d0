// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi_client.h"

#include <QHostAddress>
#include <QTest>

bool ScpiClient::Connect(const QString& address, int timeoutMs) {
    const qsizetype colon = address.lastIndexOf(u':');
    QString host = address.left(colon);
    if (host.startsWith(u'[')) {
        host = host.mid(1, host.size() - 2);
    }
    socket_.connectToHost(QHostAddress(host), address.mid(colon + 1).toUShort());
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return QTest::qWaitFor([this] { return socket_.state() == QAbstractSocket::ConnectedState; },
                           timeoutMs);
}

void ScpiClient::Send(const QByteArray& line) {
    Write(line + '\n');
}

void ScpiClient::Write(const QByteArray& bytes) {
    socket_.write(bytes);
}

QString ScpiClient::ReadLine(int timeoutMs) {
    if (!QTest::qWaitFor([this] { return socket_.canReadLine(); }, timeoutMs)) {
        return QStringLiteral("<no reply>");
    }
    QByteArray line = socket_.readLine();
    line.chop(1);
    return QString::fromLatin1(line);
}

QString ScpiClient::Ask(const QByteArray& line, int timeoutMs) {
    Send(line);
    return ReadLine(timeoutMs);
}

QStringList ScpiClient::ReadLines(int n, int timeoutMs) {
    QStringList lines;
    // Short of n at the deadline: the caller's comparison says what came.
    (void)QTest::qWaitFor(
        [&] {
            while (lines.size() < n && socket_.canReadLine()) {
                QByteArray line = socket_.readLine();
                line.chop(1);
                lines << QString::fromLatin1(line);
            }
            return lines.size() >= n;
        },
        timeoutMs);
    return lines;
}

bool ScpiClient::Flush(int timeoutMs) {
    return QTest::qWaitFor([this] { return socket_.bytesToWrite() == 0; }, timeoutMs);
}

void ScpiClient::Close() {
    socket_.disconnectFromHost();
}
