// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace {

// Watches a button's presses: the left button moves the focus to it, others
// leave the focus alone.
class LeftPressFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool press = event->type() == QEvent::MouseButtonPress ||
                           event->type() == QEvent::MouseButtonDblClick;
        if (press && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            static_cast<QWidget*>(watched)->setFocus(Qt::MouseFocusReason);
        }
        return false;
    }
};

// Only a move to another control of the same window leaves a box: its own
// context menu (a popup), another window and a message box taking over, or the
// focus going nowhere, do not.
bool FocusMovedWithinWindow(const QFocusEvent& event, const QWidget* box) {
    switch (event.reason()) {
    case Qt::PopupFocusReason:
    case Qt::ActiveWindowFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    default:
        break;
    }
    // By now the application's focus widget is the one that took the focus.
    const QWidget* now = QApplication::focusWidget();
    return now != nullptr && now != box && now->window() == box->window();
}

} // namespace

void TakeFocusOnLeftPressOnly(QAbstractButton* button) {
    button->setFocusPolicy(Qt::TabFocus);
    button->installEventFilter(new LeftPressFocus(button));
}

namespace {

bool IsEnterKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

PanelKey::PanelKey(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAccessibleName(caption);
    TakeFocusOnLeftPressOnly(this);
}

void PanelKey::Tap() {
    if (isEnabled()) {
        emit MouseDown();
        emit MouseUp();
    }
}

void PanelKey::mousePressEvent(QMouseEvent* event) {
    // Down first, then the handler: a handler that waits lets the release
    // through, and that release must find the key down to draw it up again.
    // A key that disables itself in its handler ("+ %", "- %") is let go by
    // the button itself.
    QPushButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit MouseDown();
    }
}

void PanelKey::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit MouseUp();
    }
    QPushButton::mouseReleaseEvent(event);
}

void PanelKey::keyPressEvent(QKeyEvent* event) {
    // Down first, then the handler, as with the mouse.
    QPushButton::keyPressEvent(event);
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && !spaceDown_) {
        spaceDown_ = true;
        emit MouseDown();
    }
}

void PanelKey::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && spaceDown_) {
        spaceDown_ = false;
        emit MouseUp();
    }
    QPushButton::keyReleaseEvent(event);
}

void PanelKey::focusOutEvent(QFocusEvent* event) {
    // Its release goes to the control that has the focus now.
    spaceDown_ = false;
    QPushButton::focusOutEvent(event);
}

ImageKey::ImageKey(const QPixmap& picture, QWidget* parent) : QLabel(parent) {
    setPixmap(picture);
    setScaledContents(true);
    setFocusPolicy(Qt::NoFocus);
    SetBorderStyle(0);
}

void ImageKey::SetBorderStyle(int style) {
    setFrameStyle(style == 1 ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
}

int ImageKey::BorderStyle() const {
    return frameShape() == QFrame::NoFrame ? 0 : 1;
}

void ImageKey::Tap() {
    if (isEnabled()) {
        emit MouseDown();
        emit MouseUp();
    }
}

void ImageKey::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit MouseDown();
}

void ImageKey::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    emit MouseUp();
}

// QLineEdit's maximum length cuts typing and pasting to the room left, and the
// program's texts longer than the limit raise it for as long as they stand.
EntryBox::EntryBox(int maxChars, QWidget* parent) : QLineEdit(parent), maxChars_(maxChars) {
    setMaxLength(maxChars);
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString& text) { FitLengthTo(text.size()); });
}

void EntryBox::setText(const QString& text) {
    // Room first, or QLineEdit would cut the text; the change then fits the
    // room to it.
    if (text.size() > maxLength()) {
        setMaxLength(static_cast<int>(text.size()));
    }
    QLineEdit::setText(text);
}

void EntryBox::FitLengthTo(qsizetype length) {
    const int room = std::max(maxChars_, static_cast<int>(length));
    // Setting the length puts the cursor at the end: only when it changes.
    if (maxLength() != room) {
        setMaxLength(room);
    }
}

void EntryBox::keyPressEvent(QKeyEvent* event) {
    if (IsEnterKey(event) && event->modifiers().testFlag(Qt::ControlModifier)) {
        if (!event->isAutoRepeat()) {
            submitting_ = true;
            emit Submitted();
        }
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void EntryBox::keyReleaseEvent(QKeyEvent* event) {
    if (submitting_ && IsEnterKey(event)) {
        submitting_ = event->isAutoRepeat();
        return;
    }
    QLineEdit::keyReleaseEvent(event);
    if (event->isAutoRepeat()) {
        return;
    }
    const int key = IsEnterKey(event) ? kEnterKey : event->key();
    emit KeyUp(key);
}

void EntryBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (FocusMovedWithinWindow(*event, this)) {
        emit LostFocus();
    }
}
