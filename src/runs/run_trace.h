// SPDX-License-Identifier: GPL-3.0-or-later
// The run trace: a run's start, each command it sends, its end, and the
// session's sleep inhibitor taken and let go. Off unless switched on with
// QT_LOGGING_RULES="zrm.run.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRun)
