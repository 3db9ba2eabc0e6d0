// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_checks.h"

#include <QAccessible>
#include <QTest>
#include <functional>
#include <optional>

namespace {

using Lookup = std::function<std::optional<QString>(const QString&)>;

QString Mismatches(const QStringList& expected, const Lookup& actual) {
    QString report;
    for (const QString& pair : expected) {
        const QString name = pair.section('=', 0, 0);
        const std::optional<QString> value = actual(name);
        if (!value) {
            report += QStringLiteral("no %1; ").arg(name);
        } else if (*value != pair.section('=', 1)) {
            report += QStringLiteral("%1 is \"%2\", not \"%3\"; ")
                          .arg(name, *value, pair.section('=', 1));
        }
    }
    return report;
}

} // namespace

QString ShownMismatches(const Form1& panel, const QStringList& expected) {
    return Mismatches(expected, [&](const QString& name) -> std::optional<QString> {
        if (const auto* label = panel.findChild<QLabel*>(name)) {
            return label->text();
        }
        if (const auto* box = panel.findChild<QLineEdit*>(name)) {
            return box->text();
        }
        return std::nullopt;
    });
}

QString WaitUntilShown(const Form1& panel, const QStringList& expected, int timeoutMs) {
    QString wrong;
    const bool shown = QTest::qWaitFor(
        [&] {
            wrong = ShownMismatches(panel, expected);
            return wrong.isEmpty();
        },
        timeoutMs);
    return shown ? QString() : wrong;
}

QString SupplyMismatches(SimProcess& sim, const QStringList& expected) {
    const QMap<QString, QString> state = sim.State();
    return Mismatches(expected, [&](const QString& key) -> std::optional<QString> {
        if (!state.contains(key)) {
            return std::nullopt;
        }
        return state.value(key);
    });
}

bool AllEnabled(const QList<QWidget*>& controls, bool enabled) {
    bool all = true;
    for (const QWidget* control : controls) {
        if (control->isEnabled() != enabled) {
            qWarning("%s is %s", qPrintable(control->objectName()),
                     control->isEnabled() ? "enabled" : "disabled");
            all = false;
        }
    }
    return all;
}

QList<QWidget*> EditGroup(const Form1& p) {
    return {p.cmd_normal, p.cmd_lock,   p.cmd_vset,   p.cmd_rem,    p.cmd_n,       p.cmd_f,
            p.cmd_output, p.cmd_vlimit, p.cmd_ilimit, p.cmd_plimit, p.frm_voltage, p.frm_limit};
}

QString ShortPauses(const QList<SimProcess::LogEntry>& entries, qint64 leastMs) {
    QString report;
    for (qsizetype i = 1; i < entries.size(); ++i) {
        const qint64 gap = entries[i].ms - entries[i - 1].ms;
        if (gap < leastMs) {
            report += QStringLiteral("\"%1\" only %2 ms after \"%3\"; ")
                          .arg(entries[i].command)
                          .arg(gap)
                          .arg(entries[i - 1].command);
        }
    }
    return report;
}

QString HeardName(QObject* control) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

bool ActivatePanel(Form1& panel) {
    panel.activateWindow();
    return QTest::qWaitForWindowActive(&panel);
}
