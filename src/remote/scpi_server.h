// SPDX-License-Identifier: GPL-3.0-or-later
// The SCPI server on a TCP socket: several clients, each with its own input,
// session and replies in the order of its queries. A client that shuts its
// sending side (nc -q1, nc -N) still gets the replies to what it sent. Commands run one at a
// time, in arrival order per client, and only while the instrument is idle:
// never inside one of the panel's reply waits or pauses. Its trace, on
// standard error: QT_LOGGING_RULES="zrm.remote.debug=true".
#pragma once

#include "instrument.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QTcpServer;

// An address and port to listen on, from "127.0.0.1:5025" or "[::1]:5025".
struct ListenAddress {
    QHostAddress address;
    quint16 port = 0;
};
std::optional<ListenAddress> ParseListenAddress(const QString& text);
inline constexpr const char* kDefaultListenAddress = "127.0.0.1:5025";

class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 8;
    // Messages read ahead per client; beyond them the client is no longer
    // read, so TCP slows it down instead of a command being dropped.
    static constexpr int kQueueLength = 64;
    // Replies not yet taken by a client beyond which its commands wait.
    static constexpr qint64 kMaxUnsentBytes = 64 * 1024;

    explicit ScpiServer(Instrument& instrument, QObject* parent = nullptr);
    ~ScpiServer() override;

    // Starts listening; false with ErrorString() when the address cannot be
    // had (the port in use, an address not on this machine).
    bool Listen(const ListenAddress& where);
    QString ErrorString() const;
    // Stops listening and drops every client.
    void Close();
    bool IsListening() const;
    // "127.0.0.1:5025"
    QString AddressText() const;
    // Clients connected; one that has closed counts until its commands have run.
    int ClientCount() const;

    // The instrument has become idle: commands that wait may run.
    void Resume();

signals:
    void ClientCountChanged(int count);

private:
    struct Client;

    void Accept(qintptr descriptor);
    // Takes in what the client sent, as far as there is room for it.
    void Receive(Client& client);
    // Cuts its input into waiting messages, as far as the queue has room,
    // and reads on once there is room for more input.
    void Frame(Client& client);
    // Sends what it can of the client's replies.
    void Flush(Client& client);
    // Closes its socket; it takes and sends nothing more.
    void Disconnect(Client& client);
    void ScheduleRun();
    void RunWaiting();
    std::shared_ptr<Client> NextClient();
    void DropFinished();

    Instrument& instrument_;
    QTcpServer* server_;
    std::vector<std::shared_ptr<Client>> clients_;
    size_t nextClient_ = 0;
    int clientsSeen_ = 0;
    bool scheduled_ = false;
    bool running_ = false;
};
