// SPDX-License-Identifier: GPL-3.0-or-later
// The wire trace: every port opened, command sent, reply, timeout and
// reconnection, with the milliseconds since its first line. Off unless
// switched on with QT_LOGGING_RULES="zrm.link.debug=true"; while off, qCDebug
// neither formats nor escapes anything.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

// Milliseconds on a monotonic clock since the first call.
qint64 TraceMs();
