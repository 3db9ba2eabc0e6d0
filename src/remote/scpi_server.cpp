// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi_server.h"

#include "scpi_framer.h"
#include "scpi_session.h"
#include "supply_link.h"
#include "wire_trace.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

Q_LOGGING_CATEGORY(lcRemote, "zrm.remote", QtWarningMsg)

namespace {

// What a client's socket keeps of its input before Qt stops reading it from
// the system, and TCP's window closes on the client.
constexpr qint64 kReadBufferBytes = 16 * 1024;
// At most one message per read: the queue bound is kept exactly.
constexpr qint64 kReadChunk = InputFramer::kMaxMessage + 2;

} // namespace

struct ScpiServer::Client {
    Client(int n, QTcpSocket* s, Instrument& instrument)
        : number(n), socket(s), session(instrument) {}

    int number; // counted from 1 since the server was made, for the trace
    QPointer<QTcpSocket> socket;
    InputFramer framer;
    QList<ScpiMessage> waiting; // oldest first
    ScpiSession session;
    bool gone = false; // the client closed its end: what it sent still runs

    bool MayRun() const {
        return !waiting.isEmpty() && (gone || !socket || socket->bytesToWrite() < kMaxUnsentBytes);
    }
};

std::optional<ListenAddress> ParseListenAddress(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon < 0) {
        return std::nullopt;
    }
    QString host = text.left(colon);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535) {
        return std::nullopt;
    }
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        host = host.mid(1, host.size() - 2);
    }
    QHostAddress address;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        address = QHostAddress(QHostAddress::LocalHost);
    } else if (!address.setAddress(host)) {
        return std::nullopt;
    }
    return ListenAddress{address, static_cast<quint16>(port)};
}

ScpiServer::ScpiServer(Instrument& instrument, QObject* parent)
    : QObject(parent), instrument_(instrument), server_(new QTcpServer(this)) {
    connect(server_, &QTcpServer::newConnection, this, &ScpiServer::Accept);
}

ScpiServer::~ScpiServer() {
    for (const std::shared_ptr<Client>& client : clients_) {
        if (client->socket) {
            client->socket->disconnect(this);
        }
    }
}

bool ScpiServer::Listen(const ListenAddress& where) {
    return server_->listen(where.address, where.port);
}

QString ScpiServer::ErrorString() const {
    return server_->errorString();
}

void ScpiServer::Close() {
    server_->close();
    for (const std::shared_ptr<Client>& client : clients_) {
        if (client->socket) {
            client->socket->disconnect(this);
            client->socket->abort();
            client->socket->deleteLater();
        }
    }
    clients_.clear();
    emit ClientCountChanged(0);
}

bool ScpiServer::IsListening() const {
    return server_->isListening();
}

QString ScpiServer::AddressText() const {
    const QHostAddress address = server_->serverAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + address.toString() + u']'
                             : address.toString();
    return host + u':' + QString::number(server_->serverPort());
}

int ScpiServer::ClientCount() const {
    return static_cast<int>(std::count_if(clients_.begin(), clients_.end(),
                                          [](const auto& client) { return !client->gone; }));
}

void ScpiServer::Resume() {
    ScheduleRun();
}

void ScpiServer::Accept() {
    while (server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        if (ClientCount() >= kMaxClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Replies go out at once rather than waiting to fill a packet.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setReadBufferSize(kReadBufferBytes);
        auto client = std::make_shared<Client>(++clientsSeen_, socket, instrument_);
        qCDebug(lcRemote).noquote() << TraceMs()
                                    << QStringLiteral("client %1 connected from %2:%3")
                                           .arg(client->number)
                                           .arg(socket->peerAddress().toString())
                                           .arg(socket->peerPort());
        Client* raw = client.get();
        connect(socket, &QTcpSocket::readyRead, this, [this, raw] { Read(*raw); });
        connect(socket, &QTcpSocket::bytesWritten, this, &ScpiServer::ScheduleRun);
        connect(socket, &QTcpSocket::disconnected, this, [this, raw] {
            qCDebug(lcRemote).noquote()
                << TraceMs() << QStringLiteral("client %1 closed").arg(raw->number);
            raw->gone = true;
            Read(*raw);
            emit ClientCountChanged(ClientCount());
            DropFinished();
        });
        clients_.push_back(std::move(client));
        emit ClientCountChanged(ClientCount());
    }
}

void ScpiServer::Read(Client& client) {
    while (client.socket && client.waiting.size() < kQueueLength) {
        const QByteArray bytes = client.socket->canReadLine() ? client.socket->readLine(kReadChunk)
                                                              : client.socket->read(kReadChunk);
        if (bytes.isEmpty()) {
            break;
        }
        client.framer.Append(bytes, client.waiting);
    }
    ScheduleRun();
}

// Messages run for a short while at a time, so that the panel's timers, its
// window and the sockets are served between them however much is waiting.
void ScpiServer::ScheduleRun() {
    if (scheduled_ || std::none_of(clients_.begin(), clients_.end(),
                                   [](const auto& client) { return client->MayRun(); })) {
        return;
    }
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        RunWaiting();
    });
}

void ScpiServer::RunWaiting() {
    // Inside a command of our own, or inside one of the panel's waits: the
    // end of either schedules the next run.
    if (running_) {
        return;
    }
    constexpr qint64 kSliceNs = 2'000'000;
    QElapsedTimer slice;
    slice.start();
    while (slice.nsecsElapsed() < kSliceNs && instrument_.Idle()) {
        const std::shared_ptr<Client> client = NextClient();
        if (!client) {
            break;
        }
        const ScpiMessage message = client->waiting.takeFirst();
        qCDebug(lcRemote).noquote()
            << TraceMs() << QStringLiteral("client %1 <-").arg(client->number)
            << (message.tooLong ? QStringLiteral("(too long)")
                                : EscapeControls(QString::fromLatin1(message.text)));
        running_ = true;
        const QString reply = client->session.Run(message);
        running_ = false;
        if (!reply.isEmpty()) {
            qCDebug(lcRemote).noquote()
                << TraceMs() << QStringLiteral("client %1 ->").arg(client->number) << reply;
        }
        if (!reply.isEmpty() && client->socket &&
            client->socket->state() == QAbstractSocket::ConnectedState) {
            client->socket->write(reply.toLatin1() + '\n');
        }
        Read(*client);
    }
    DropFinished();
    ScheduleRun();
}

std::shared_ptr<ScpiServer::Client> ScpiServer::NextClient() {
    for (size_t k = 0; k < clients_.size(); ++k) {
        const size_t index = (nextClient_ + k) % clients_.size();
        if (clients_[index]->MayRun()) {
            nextClient_ = index + 1;
            return clients_[index];
        }
    }
    return nullptr;
}

void ScpiServer::DropFinished() {
    const auto finished = [](const std::shared_ptr<Client>& client) {
        return client->gone && client->waiting.isEmpty() &&
               (!client->socket || client->socket->bytesAvailable() == 0);
    };
    for (const std::shared_ptr<Client>& client : clients_) {
        if (finished(client) && client->socket) {
            client->socket->disconnect(this);
            client->socket->deleteLater();
        }
    }
    clients_.erase(std::remove_if(clients_.begin(), clients_.end(), finished), clients_.end());
}
