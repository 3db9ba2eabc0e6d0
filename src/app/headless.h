// SPDX-License-Identifier: GPL-3.0-or-later
// What the program does for itself when it runs without a window: nobody is
// there to press REM, and it is ended by a signal rather than by EXIT.
#pragma once

#include "main_window.h"

#include <QObject>
#include <QTimer>

// While no supply answers (none was found, or the link was lost), REM's
// connection is repeated every 10 s until one does.
class Reconnector : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 10000;

    explicit Reconnector(Form1& panel);

private:
    Form1& panel_;
    QTimer timer_;
};

// SIGTERM and SIGINT end the event loop, so that the program ends as it does
// after its window closes, with exit status 0: the log closed after its last
// whole row, the remote control's port closed. The signal is taken in
// through a socket, as nothing else may run inside a signal handler.
void QuitOnTerminationSignals();
