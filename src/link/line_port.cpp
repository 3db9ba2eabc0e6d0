// SPDX-License-Identifier: GPL-3.0-or-later
#include "supply_link.h"

#include <QtGlobal>

QString ComPortPath(int n) {
    const QByteArray variable = "ZRM_COM" + QByteArray::number(n);
    if (qEnvironmentVariableIsSet(variable.constData())) {
        return qEnvironmentVariable(variable.constData());
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}
