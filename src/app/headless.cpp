// SPDX-License-Identifier: GPL-3.0-or-later
#include "headless.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};

void NoteSignal(int) {
    const char byte = 1;
    // Nothing to do about a full socket: one byte in it is enough.
    (void)!write(signalSockets[0], &byte, 1);
}

} // namespace

Reconnector::Reconnector(Form1& panel) : QObject(&panel), panel_(panel) {
    connect(&timer_, &QTimer::timeout, this, [this] {
        // Not inside an exchange, nor while a connection runs already.
        if (panel_.LinkLost && panel_.Idle()) {
            panel_.Reconnect();
        }
    });
    timer_.start(kIntervalMs);
}

void QuitOnTerminationSignals() {
    if (signalSockets[0] >= 0 || socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0) {
        return;
    }
    auto* notifier =
        new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte = 0;
        (void)!read(signalSockets[1], &byte, 1);
        // exit, not quit: quit asks the windows, and a modal box may refuse.
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
