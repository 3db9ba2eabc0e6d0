// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_keys.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QValidator>

namespace {

bool IsEnterKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

PanelKey::PanelKey(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAccessibleName(caption);
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

namespace {

// Refuses typing beyond the box's character limit.
class LengthValidator : public QValidator {
public:
    LengthValidator(int maxChars, QObject* parent) : QValidator(parent), maxChars_(maxChars) {}
    State validate(QString& input, int&) const override {
        return input.size() <= maxChars_ ? Acceptable : Invalid;
    }

private:
    int maxChars_;
};

} // namespace

EntryBox::EntryBox(int maxChars, QWidget* parent) : QLineEdit(parent) {
    setValidator(new LengthValidator(maxChars, this));
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
    // The supply's convention is the Enter key's character code, 13.
    const int key = IsEnterKey(event) ? 13 : event->key();
    emit KeyUp(key);
}

void EntryBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit LostFocus();
}
