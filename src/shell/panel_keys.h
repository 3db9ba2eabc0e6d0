// SPDX-License-Identifier: GPL-3.0-or-later
// The three kinds of input control on the panel: push-button keys that act
// when the mouse button goes down, the two image keys, and the entry boxes.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// A keypad key. Reports button-down and button-up of the left mouse button
// only; other buttons reach no handler, as on the supply's own keys. Space on
// the focused key goes down and up like the left button, so a held Space is a
// long press; its auto-repeat is ignored.
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

// A single-line entry box that reports key releases and the loss of focus.
// Its character limit applies to typing only: texts that the program puts in
// (a reply with its line feed, for instance) are kept whole. Ctrl+Enter is
// reported as Submitted and not as an Enter key release.
class EntryBox : public QLineEdit {
    Q_OBJECT
public:
    EntryBox(int maxChars, QWidget* parent);

signals:
    void KeyUp(int key);
    void LostFocus();
    void Submitted();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Ctrl+Enter went down; the Enter release that ends it is no Enter of its
    // own, even when Ctrl comes up first.
    bool submitting_ = false;
};
