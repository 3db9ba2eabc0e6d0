// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi_server.h"

#include "scpi_framer.h"
#include "scpi_session.h"
#include "supply_link.h"
#include "wire_trace.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcRemote, "zrm.remote", QtWarningMsg)

namespace {

// What is kept of a client's input before it is no longer read, so that TCP's
// window closes on the client.
constexpr qsizetype kReadBufferBytes = 16 * 1024;
constexpr qsizetype kReadChunk = 4096;

// Accepts connections and hands on their sockets as they are: a client may
// shut its sending side and still read the replies to what it sent, which
// QTcpSocket, closing at the first end of input, does not allow.
class Listener : public QTcpServer {
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

signals:
    void Connection(qintptr descriptor);

protected:
    void incomingConnection(qintptr descriptor) override { emit Connection(descriptor); }
};

QString PeerOf(int fd) {
    sockaddr_storage peer = {};
    socklen_t size = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) {
        return QStringLiteral("?");
    }
    QHostAddress address(reinterpret_cast<const sockaddr*>(&peer));
    const quint16 port = peer.ss_family == AF_INET6
                             ? ntohs(reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_port)
                             : ntohs(reinterpret_cast<const sockaddr_in*>(&peer)->sin_port);
    return address.toString() + u':' + QString::number(port);
}

} // namespace

struct ScpiServer::Client {
    Client(int n, int descriptor, Instrument& instrument)
        : number(n), fd(descriptor), session(instrument) {}

    int number; // counted from 1 since the server was made, for the trace
    int fd;
    QSocketNotifier* readable = nullptr;
    QSocketNotifier* writable = nullptr;
    QByteArray input; // received and not yet cut into messages
    InputFramer framer;
    QList<ScpiMessage> waiting; // oldest first
    QByteArray output;          // replies the client has not taken yet
    ScpiSession session;
    bool inputEnded = false; // the client has sent its last byte: what it sent still runs
    bool outputGone = false; // the client takes no more replies

    bool MayRun() const {
        return !waiting.isEmpty() && (outputGone || output.size() < kMaxUnsentBytes);
    }
    bool Finished() const {
        return inputEnded && waiting.isEmpty() && input.isEmpty() &&
               (outputGone || output.isEmpty());
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
    : QObject(parent), instrument_(instrument), server_(new Listener(this)) {
    connect(static_cast<Listener*>(server_), &Listener::Connection, this, &ScpiServer::Accept);
}

ScpiServer::~ScpiServer() {
    for (const std::shared_ptr<Client>& client : clients_) {
        Disconnect(*client);
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
        Disconnect(*client);
    }
    clients_.clear();
    emit ClientCountChanged(0);
}

// Also while one of its commands runs (the menu entry switched off during a
// reading): what it still does afterwards goes nowhere.
void ScpiServer::Disconnect(Client& client) {
    delete client.readable;
    delete client.writable;
    client.readable = client.writable = nullptr;
    ::close(client.fd);
    client.fd = -1;
    client.inputEnded = client.outputGone = true;
    client.input.clear();
    client.output.clear();
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
    return static_cast<int>(clients_.size());
}

void ScpiServer::Resume() {
    ScheduleRun();
}

void ScpiServer::Accept(qintptr descriptor) {
    const int fd = static_cast<int>(descriptor);
    if (ClientCount() >= kMaxClients) {
        ::close(fd);
        return;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // Replies go out at once rather than waiting to fill a packet.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto client = std::make_shared<Client>(++clientsSeen_, fd, instrument_);
    client->readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    client->writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    client->writable->setEnabled(false);
    Client* raw = client.get();
    connect(client->readable, &QSocketNotifier::activated, this, [this, raw] {
        Receive(*raw);
        DropFinished();
    });
    connect(client->writable, &QSocketNotifier::activated, this, [this, raw] {
        Flush(*raw);
        DropFinished();
    });
    qCDebug(lcRemote).noquote()
        << TraceMs()
        << QStringLiteral("client %1 connected from %2").arg(client->number).arg(PeerOf(fd));
    clients_.push_back(std::move(client));
    emit ClientCountChanged(ClientCount());
}

void ScpiServer::Receive(Client& client) {
    if (client.fd < 0) {
        return;
    }
    char chunk[kReadChunk];
    while (!client.inputEnded && client.input.size() < kReadBufferBytes) {
        const qsizetype room = std::min(kReadChunk, kReadBufferBytes - client.input.size());
        const ssize_t n = ::recv(client.fd, chunk, static_cast<size_t>(room), 0);
        if (n > 0) {
            client.input.append(chunk, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            // The end of its input, or a connection reset: nothing more comes.
            qCDebug(lcRemote).noquote()
                << TraceMs() << QStringLiteral("client %1 closed").arg(client.number);
            client.inputEnded = true;
            if (n < 0) {
                client.outputGone = true;
                client.output.clear();
            }
        }
    }
    Frame(client);
}

void ScpiServer::Frame(Client& client) {
    // One message at a time, so that the queue holds no more than its length.
    while (client.waiting.size() < kQueueLength && !client.input.isEmpty()) {
        const qsizetype lf = client.input.indexOf('\n');
        const qsizetype take = lf < 0 ? client.input.size() : lf + 1;
        client.framer.Append(QByteArrayView(client.input).first(take), client.waiting);
        client.input.remove(0, take);
    }
    // A message cut off by the end of the input is not carried out.
    if (client.inputEnded && client.input.isEmpty()) {
        client.framer = InputFramer();
    }
    if (client.readable != nullptr) {
        client.readable->setEnabled(!client.inputEnded && client.input.size() < kReadBufferBytes);
    }
    ScheduleRun();
}

void ScpiServer::Flush(Client& client) {
    while (!client.outputGone && !client.output.isEmpty()) {
        const ssize_t n = ::send(client.fd, client.output.constData(),
                                 static_cast<size_t>(client.output.size()), MSG_NOSIGNAL);
        if (n > 0) {
            client.output.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            // Gone for good: its commands still run, their replies go nowhere.
            client.outputGone = true;
            client.output.clear();
        }
    }
    if (client.writable != nullptr) {
        client.writable->setEnabled(!client.outputGone && !client.output.isEmpty());
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
    // Inside a command of our own: its end schedules the next run.
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
        if (!reply.isEmpty() && !client->outputGone) {
            qCDebug(lcRemote).noquote()
                << TraceMs() << QStringLiteral("client %1 ->").arg(client->number) << reply;
            client->output += reply.toLatin1() + '\n';
            Flush(*client);
        }
        Frame(*client);
    }
    DropFinished();
    // While the panel waits, Resume brings the next run.
    if (instrument_.Idle()) {
        ScheduleRun();
    }
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

// The clients whose input has ended, whose commands have all run and whose
// replies have all gone out (or have nowhere to go) are closed.
void ScpiServer::DropFinished() {
    // Not while one of them runs: RunWaiting drops it after.
    if (running_) {
        return;
    }
    const auto before = clients_.size();
    for (const std::shared_ptr<Client>& client : clients_) {
        if (client->Finished()) {
            Disconnect(*client);
        }
    }
    clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                  [](const auto& client) { return client->Finished(); }),
                   clients_.end());
    if (clients_.size() != before) {
        emit ClientCountChanged(ClientCount());
    }
}

#include "scpi_server.moc"
