// SPDX-License-Identifier: GPL-3.0-or-later
// Readings: a label or percent box is heard by its meaning, what it shows now
// and its unit ("Output voltage 07.50 volts", "Status Ready"); the meaning
// alone is its description. A label's accessible name stays empty, so the
// label itself reports every new text as a name change.
#include "access_parts.h"
#include "main_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>

namespace {

// The dynamic property that holds a label's unit.
constexpr char kUnitProperty[] = "readingUnit";

// A reply's line feed, kept in the percent boxes, is not read out.
QString Reading(const QString& meaning, const QString& text, const QString& unit) {
    const QString shown = text.trimmed();
    QStringList parts{meaning};
    if (!shown.isEmpty()) {
        parts << shown;
        if (!unit.isEmpty()) {
            parts << unit;
        }
    }
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}

class ReadingAccessible : public QAccessibleWidget {
public:
    explicit ReadingAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) {
            return QAccessibleWidget::text(t);
        }
        const auto* label = static_cast<const QLabel*>(widget());
        return Reading(label->accessibleDescription(), label->text(),
                       label->property(kUnitProperty).toString());
    }
};

QString UnitOf(const Form1& form, const QLabel* label) {
    const std::pair<const QLabel*, const char*> units[] = {
        {form.dis_v, "volts"},  {form.dis_i, "amperes"},  {form.dis_p, "watts"},
        {form.dis_lv, "volts"}, {form.dis_li, "amperes"}, {form.dis_lp, "watts"},
    };
    for (const auto& [display, unit] : units) {
        if (display == label) {
            return QLatin1String(unit);
        }
    }
    return {};
}

// The box's name follows its text; the line edit reports its text itself.
void DescribePercentBox(QLineEdit* box) {
    const QString meaning = box->accessibleName();
    box->setAccessibleDescription(meaning);
    const auto rename = [box, meaning] {
        box->setAccessibleName(Reading(meaning, box->text(), QStringLiteral("percent")));
    };
    QObject::connect(box, &QLineEdit::textChanged, box, rename);
    rename();
}

} // namespace

QAccessibleInterface* ReadingInterface(const QString& className, QWidget* widget) {
    if (className != QLatin1String("QLabel") || qobject_cast<Form1*>(widget->window()) == nullptr) {
        return nullptr;
    }
    return new ReadingAccessible(static_cast<QLabel*>(widget));
}

void DescribeReadings(Form1& form) {
    for (QLabel* label : form.findChildren<QLabel*>()) {
        if (label->metaObject() != &QLabel::staticMetaObject) {
            continue; // the image keys are keys
        }
        label->setAccessibleDescription(label->accessibleName());
        label->setAccessibleName(QString());
        label->setProperty(kUnitProperty, UnitOf(form, label));
    }
    DescribePercentBox(form.txt_plus);
    DescribePercentBox(form.txt_minus);
}
