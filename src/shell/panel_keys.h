// SPDX-License-Identifier: GPL-3.0-or-later
// The three kinds of input control on the panel: push-button keys that act
// when the mouse button goes down, the two image keys, and the entry boxes.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Gives the button the keyboard focus on a press of the left mouse button
// only, as the supply's own keys take it; Tab still reaches it. Qt would give
// it the focus on any button, before the button sees the press.
void TakeFocusOnLeftPressOnly(QAbstractButton* button);

// A keypad key. Reports button-down and button-up of the left mouse button
// only; other buttons reach no handler and leave the focus where it was, as
// on the supply's own keys. Space on the focused key goes down and up like the
// left button, so a held Space is a long press; its auto-repeat is ignored.
class PanelKey : public QPushButton {
    Q_OBJECT
public:
    PanelKey(const QString& caption, QWidget* parent);

    // One short press and release, as a quick left click, if the key is enabled.
    void Tap();

signals:
    void MouseDown();
    void MouseUp();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Space went down on this key and has not come up: only then does its
    // release count, not one that arrives after the focus moved here.
    bool spaceDown_ = false;
};

// The up and down arrow keys: a picture that acts on any mouse button, never
// takes the keyboard focus, and shows a frame while pressed.
class ImageKey : public QLabel {
    Q_OBJECT
public:
    ImageKey(const QPixmap& picture, QWidget* parent);

    // Border style 1 is the framed, pressed look; 0 no frame.
    void SetBorderStyle(int style);
    int BorderStyle() const;

    // One short press and release, as a quick click, if the key is enabled.
    void Tap();

signals:
    void MouseDown();
    void MouseUp();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The key code that KeyUp reports for Return and Enter: the Enter key's
// character code, the supply's convention.
inline constexpr int kEnterKey = 13;

// A single-line entry box that reports key releases and the loss of focus to
// another control of its window. Its character limit holds for every edit of
// the user's (typing, pasting, dropping, undoing, each also over a
// selection): an edit that puts characters in leaves at most the limit, as
// many as fit and the rest dropped, however long the text was before; an edit
// that only takes characters away is kept. Texts that the program puts in (a
// reply with its line feed, for instance) are kept whole. Ctrl+Enter is
// reported as Submitted and not as an Enter key release.
class EntryBox : public QLineEdit {
    Q_OBJECT
public:
    EntryBox(int maxChars, QWidget* parent);

    // Writes a text of the program's, however long. The program writes its
    // texts through this; QLineEdit's own setText would hold them to the
    // limit like a user's edit.
    void setText(const QString& text);

signals:
    void KeyUp(int key);
    void LostFocus();
    void Submitted();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    class LengthLimit;

    int maxChars_;
    QString shown_;        // the text before the edit under way
    bool writing_ = false; // the program is writing its text
    // Ctrl+Enter went down; the Enter release that ends it is no Enter of its
    // own, even when Ctrl comes up first.
    bool submitting_ = false;
};
