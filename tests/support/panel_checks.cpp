#include "panel_checks.h"

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

QString SupplyMismatches(SimProcess& sim, const QStringList& expected) {
    const QMap<QString, QString> state = sim.State();
    return Mismatches(expected, [&](const QString& key) -> std::optional<QString> {
        if (!state.contains(key)) {
            return std::nullopt;
        }
        return state.value(key);
    });
}

bool ActivatePanel(Form1& panel) {
    panel.activateWindow();
    return QTest::qWaitForWindowActive(&panel);
}
