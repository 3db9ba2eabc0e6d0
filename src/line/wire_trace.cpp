// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_trace.h"

#include <QElapsedTimer>

Q_LOGGING_CATEGORY(lcLink, "zrm.link", QtWarningMsg)

qint64 TraceMs() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}
