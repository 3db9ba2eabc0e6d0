// Reading and writing the supply's serial line: the port names, the reply
// framing and the status line. Pure functions of text, shared by the window's
// transport and polling and by the fuzzers.
#pragma once

#include "panel_state.h"

#include <QByteArray>
#include <QString>

// The device path of COM n (1 to 4): the path in ZRM_COMn when that is set,
// else COMn on Windows and /dev/ttyS(n-1) elsewhere.
QString ComPortPath(int n);
