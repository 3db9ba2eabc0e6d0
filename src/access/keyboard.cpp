// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard: Ctrl+Enter in an entry box presses the box's key, the Up and
// Down arrow keys press the image keys from wherever the focus is, and the
// control with the focus wears a frame drawn over its own look.
#include "access_parts.h"
#include "main_window.h"

#include <QAbstractButton>
#include <QPaintEvent>
#include <QPainter>
#include <QShortcut>

namespace {

// Paints the control as usual, then the frame over it: the styles' own focus
// marks are faint or, on a style-sheet key like EXIT, missing.
class FocusFrame : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* control = static_cast<QWidget*>(watched);
        if (event->type() != QEvent::Paint || !control->hasFocus()) {
            return false;
        }
        static_cast<QObject*>(control)->event(event);
        QPainter painter(control);
        painter.setPen(QPen(control->palette().color(QPalette::Highlight), kWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(control->rect()).adjusted(1, 1, -1, -1));
        return true;
    }

private:
    // In device-independent pixels, so the frame grows with the scale.
    static constexpr qreal kWidth = 2;
};

void PressOnArrow(Form1& form, Qt::Key arrow, ImageKey* key) {
    auto* shortcut = new QShortcut(QKeySequence(arrow), &form);
    // One step per key press, however long it is held.
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, key, &ImageKey::Tap);
}

} // namespace

void InstallKeyboard(Form1& form) {
    const std::pair<EntryBox*, PanelKey*> entries[] = {
        {form.txt_v, form.cmd_v},
        {form.txt_u, form.cmd_u},
        {form.txt_i, form.cmd_i},
        {form.txt_p, form.cmd_p},
    };
    // The box keeps the focus, so its key reads what was typed.
    for (const auto& [box, key] : entries) {
        QObject::connect(box, &EntryBox::Submitted, key, &PanelKey::Tap);
    }
    PressOnArrow(form, Qt::Key_Up, form.cmd_add);
    PressOnArrow(form, Qt::Key_Down, form.cmd_sub);

    auto* frame = new FocusFrame(&form);
    for (QWidget* control : form.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control)) {
            control->installEventFilter(frame);
        }
    }
}
