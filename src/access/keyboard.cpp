// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard: Ctrl+Enter in an entry box presses the box's key, the Up and
// Down arrow keys press the image keys from wherever the focus is, Enter on
// EXIT presses it, and the control with the focus wears a frame drawn over
// its own look.
#include "access_parts.h"
#include "main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <array>

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

// Up and Down press the up and down keys from wherever the focus is in the
// window: down with the arrow key's first press, up with its real release,
// once however long it is held.
class ArrowKeys : public QObject {
public:
    explicit ArrowKeys(Form1& form)
        : QObject(&form), form_(form), arrows_{{{Qt::Key_Up, form.cmd_add, new KeyHold(this)},
                                                {Qt::Key_Down, form.cmd_sub, new KeyHold(this)}}} {
        for (Arrow& arrow : arrows_) {
            connect(arrow.hold, &KeyHold::Released, this, [&arrow] { Lift(arrow); });
        }
        // The key events go to the control with the focus, wherever it is,
        // and the window's deactivation to the window.
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &form_ && event->type() == QEvent::WindowDeactivate) {
            // The arrow's release goes to another window now.
            for (Arrow& arrow : arrows_) {
                const bool held = arrow.hold->Held();
                arrow.hold->Settle();
                if (held) {
                    Lift(arrow);
                }
            }
            return false;
        }
        const bool press = event->type() == QEvent::KeyPress;
        if (!press && event->type() != QEvent::KeyRelease) {
            return false;
        }
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() != &form_) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        Arrow* arrow = Find(*key);
        if (arrow == nullptr) {
            return false;
        }
        if (!press) {
            arrow->hold->Release(*key);
        } else if (arrow->hold->Press(*key) && !HoldsTypedText()) {
            arrow->down = arrow->key->Down();
        }
        return true;
    }

private:
    struct Arrow {
        Qt::Key code;
        ImageKey* key;
        KeyHold* hold;
        bool down = false; // the key went down for this hold
    };

    static void Lift(Arrow& arrow) {
        if (arrow.down) {
            arrow.down = false;
            arrow.key->Up();
        }
    }

    Arrow* Find(const QKeyEvent& event) {
        // The arrows of the number pad too, but no arrow with Shift or Ctrl.
        if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return nullptr;
        }
        for (Arrow& arrow : arrows_) {
            if (event.key() == arrow.code) {
                return &arrow;
            }
        }
        return nullptr;
    }

    // A press of the up key in the set-point moves the focus to V SET, and
    // the box that loses it is emptied: an arrow key must not throw away what
    // the user typed into a box of the bottom row and has not sent.
    bool HoldsTypedText() const {
        const QWidget* focus = QApplication::focusWidget();
        for (const EntryBox* box : {form_.txt_v, form_.txt_u, form_.txt_i, form_.txt_p}) {
            if (focus == box && !box->text().isEmpty()) {
                return true;
            }
        }
        return false;
    }

    Form1& form_;
    std::array<Arrow, 2> arrows_;
};

// Enter on EXIT presses it like Space: the button's own Space handling takes
// it, and Space on EXIT ends the program at its release.
class EnterAsSpace : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) {
            return false;
        }
        QKeyEvent space(key->type(), Qt::Key_Space, key->modifiers(), QStringLiteral(" "),
                        key->isAutoRepeat());
        space.setTimestamp(key->timestamp());
        QCoreApplication::sendEvent(watched, &space);
        return true;
    }
};

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
    new ArrowKeys(form);
    form.cmd_exit->installEventFilter(new EnterAsSpace(form.cmd_exit));

    auto* frame = new FocusFrame(&form);
    for (QWidget* control : form.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control)) {
            control->installEventFilter(frame);
        }
    }
}
