// SPDX-License-Identifier: GPL-3.0-or-later
#include "access_parts.h"
#include "main_window.h"

#include <QAccessible>

namespace {

QAccessibleInterface* PanelInterface(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) {
        return nullptr;
    }
    if (QAccessibleInterface* key = KeyInterface(className, widget)) {
        return key;
    }
    return ReadingInterface(className, widget);
}

} // namespace

void InstallAccessibleInterfaces() {
    // Asked before Qt's own factories; installed twice, it is kept once.
    QAccessible::installFactory(PanelInterface);
}

void MakeAccessible(Form1& form) {
    DescribeReadings(form);
    DescribeKeys(form);
    InstallKeyboard(form);
}
