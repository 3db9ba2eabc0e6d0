// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_keys.h"
#include "panel_state.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QValidator>
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

bool MayPress(const QWidget* key) {
    return key->isEnabled() && QApplication::activeModalWidget() == nullptr;
}

KeyHold::KeyHold(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &KeyHold::Report);
}

bool KeyHold::Repeats(const QKeyEvent& press) const {
    if (press.key() != key_ || !(down_ || ended_)) {
        return false;
    }
    if (Held() || press.isAutoRepeat()) {
        return true;
    }
    // Events that the AT-SPI bridge holds back for a screen reader's keyboard
    // listeners come again without their timestamps: a press then repeats only
    // while the release still waits for it. Unsigned: a press older than the
    // release is no repeat of it.
    const bool stamped = press.timestamp() != 0 && releaseStamp_ != 0;
    const bool close = stamped && press.timestamp() - releaseStamp_ <= kRepeatGapMs;
    return settle_.isActive() ? !stamped || close : close;
}

bool KeyHold::Press(const QKeyEvent& press) {
    if (Repeats(press)) {
        settle_.stop();
        // A repeat after Released: the event loop was too busy to see it in
        // time. The hold goes on, but its release was reported already.
        silent_ = silent_ || !down_;
        down_ = true;
        return false;
    }
    if (press.isAutoRepeat() || (Held() && press.key() != key_)) {
        return false;
    }
    Settle();
    key_ = press.key();
    down_ = true;
    silent_ = false;
    ended_ = false;
    return true;
}

bool KeyHold::Release(const QKeyEvent& release) {
    if (!down_ || release.key() != key_) {
        return false;
    }
    if (!release.isAutoRepeat()) {
        releaseStamp_ = release.timestamp();
        releaseTime_ = TimeOfDay();
        ended_ = true;
        settle_.start();
    }
    return true;
}

void KeyHold::Settle() {
    if (settle_.isActive()) {
        settle_.stop();
        Report();
    } else if (down_) {
        down_ = false;
        ended_ = false;
    }
}

void KeyHold::Report() {
    down_ = false;
    if (!silent_) {
        emit Released();
    }
}

namespace {

bool IsEnterKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// Space presses a focused key, and Enter does the same.
bool IsPressKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Space || IsEnterKey(event);
}

} // namespace

PanelKey::PanelKey(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent), hold_(new KeyHold(this)) {
    setAccessibleName(caption);
    TakeFocusOnLeftPressOnly(this);
    connect(hold_, &KeyHold::Released, this, &PanelKey::KeyReleased);
}

void PanelKey::Tap() {
    if (MayPress(this)) {
        emit MouseDown();
        releaseTime_ = TimeOfDay();
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
        releaseTime_ = TimeOfDay();
        emit MouseUp();
    }
    QPushButton::mouseReleaseEvent(event);
}

// Space and Enter are the key's own: the button's handling of Space would
// click on every repeat that X11 leaves unmarked.
void PanelKey::keyPressEvent(QKeyEvent* event) {
    if (!IsPressKey(event)) {
        QPushButton::keyPressEvent(event);
        return;
    }
    event->accept();
    if (hold_->Press(*event) && MayPress(this)) {
        // Down first, then the handler, as with the mouse.
        setDown(true);
        emit MouseDown();
    }
}

void PanelKey::keyReleaseEvent(QKeyEvent* event) {
    if (!IsPressKey(event)) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    hold_->Release(*event);
}

void PanelKey::KeyReleased() {
    // Only a key that went down comes up.
    if (!isDown()) {
        return;
    }
    releaseTime_ = hold_->ReleaseTime();
    emit MouseUp();
    setDown(false);
}

void PanelKey::focusOutEvent(QFocusEvent* event) {
    // A release that came is real; one still to come goes to the control that
    // has the focus now.
    hold_->Settle();
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

bool ImageKey::Down() {
    if (!MayPress(this)) {
        return false;
    }
    emit MouseDown();
    return true;
}

void ImageKey::Up() {
    emit MouseUp();
}

void ImageKey::Tap() {
    if (Down()) {
        Up();
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

// What an edit did to a text: what it left at the start, what it put in after
// that, and what it left at the end.
struct Edit {
    qsizetype kept = 0;     // characters at the start that the edit left
    qsizetype inserted = 0; // characters put in after those
    qsizetype tail = 0;     // characters at the end that the edit left
};

// The cursor stands behind what was put in, unless the edit was an undo; the
// end that was left is taken from it where that fits.
Edit EditBetween(QStringView before, QStringView after, int cursor) {
    Edit edit;
    if (cursor >= 0 && cursor <= after.size() && before.endsWith(after.sliced(cursor))) {
        edit.tail = after.size() - cursor;
    } else {
        const qsizetype most = std::min(before.size(), after.size());
        while (edit.tail < most &&
               before[before.size() - 1 - edit.tail] == after[after.size() - 1 - edit.tail]) {
            ++edit.tail;
        }
    }
    const qsizetype most = std::min(before.size(), after.size()) - edit.tail;
    while (edit.kept < most && before[edit.kept] == after[edit.kept]) {
        ++edit.kept;
    }
    edit.inserted = after.size() - edit.tail - edit.kept;
    return edit;
}

} // namespace

// QLineEdit runs every change of its text through the validator, before the
// change is shown; a changed input is taken instead.
class EntryBox::LengthLimit : public QValidator {
public:
    explicit LengthLimit(EntryBox* box) : QValidator(box), box_(box) {}

    State validate(QString& input, int& pos) const override {
        if (box_->writing_ || input.size() <= box_->maxChars_) {
            return Acceptable;
        }
        const Edit edit = EditBetween(box_->shown_, input, pos);
        if (edit.inserted <= 0) {
            return Acceptable;
        }
        const qsizetype room =
            std::clamp<qsizetype>(box_->maxChars_ - edit.kept - edit.tail, 0, edit.inserted);
        input.remove(edit.kept + room, edit.inserted - room);
        pos = static_cast<int>(edit.kept + room);
        return Acceptable;
    }

private:
    EntryBox* box_;
};

EntryBox::EntryBox(int maxChars, QWidget* parent)
    : QLineEdit(parent), maxChars_(maxChars), submit_(new KeyHold(this)) {
    setValidator(new LengthLimit(this));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { shown_ = text; });
}

void EntryBox::setText(const QString& text) {
    const QScopedValueRollback<bool> writing(writing_, true);
    QLineEdit::setText(text);
}

void EntryBox::keyPressEvent(QKeyEvent* event) {
    if (IsEnterKey(event)) {
        if (submit_->Repeats(*event)) {
            return;
        }
        // A new Enter: the last one's release, if still waiting, was real.
        submit_->Settle();
        if (event->modifiers().testFlag(Qt::ControlModifier)) {
            if (submit_->Press(*event)) {
                emit Submitted();
            }
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void EntryBox::keyReleaseEvent(QKeyEvent* event) {
    if (submit_->Release(*event)) {
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
    submit_->Settle();
    QLineEdit::focusOutEvent(event);
    if (FocusMovedWithinWindow(*event, this)) {
        emit LostFocus();
    }
}
