// SPDX-License-Identifier: GPL-3.0-or-later
// The "Press" action of assistive technology on the keys. Qt's own button
// action is a click, which the keys ignore (they act on the button going
// down), and the image keys have no action at all: here both are push
// buttons whose action is one short press and release.
#include "access_parts.h"
#include "main_window.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class KeyAccessible : public QAccessibleWidget {
public:
    explicit KeyAccessible(QWidget* key) : QAccessibleWidget(key, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (const auto* key = qobject_cast<const PanelKey*>(widget())) {
            state.pressed = key->isDown();
        } else if (const auto* image = qobject_cast<const ImageKey*>(widget())) {
            state.pressed = image->BorderStyle() == 1;
        }
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    // The caller gets its answer at once; the press runs next from the event
    // loop, as a click's would. A key's handler can wait for the supply for
    // seconds (REM), and its events must not run inside the caller's request.
    void doAction(const QString& action) override {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
        } else if (!MayPress(widget())) {
            return;
        } else if (auto* key = qobject_cast<PanelKey*>(widget())) {
            QMetaObject::invokeMethod(key, &PanelKey::Tap, Qt::QueuedConnection);
        } else if (auto* image = qobject_cast<ImageKey*>(widget())) {
            QMetaObject::invokeMethod(image, &ImageKey::Tap, Qt::QueuedConnection);
        }
    }
};

} // namespace

QAccessibleInterface* KeyInterface(const QString& className, QWidget* widget) {
    if (className != QLatin1String("PanelKey") && className != QLatin1String("ImageKey")) {
        return nullptr;
    }
    return new KeyAccessible(widget);
}
