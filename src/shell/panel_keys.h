// SPDX-License-Identifier: GPL-3.0-or-later
// The three kinds of input control on the panel: push-button keys that act
// when the mouse button goes down, the two image keys, and the entry boxes.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

class QKeyEvent;

// Gives the button the keyboard focus on a press of the left mouse button
// only, as the supply's own keys take it; Tab still reaches it. Qt would give
// it the focus on any button, before the button sees the press.
void TakeFocusOnLeftPressOnly(QAbstractButton* button);

// Whether a key may be pressed now: it is enabled, and no modal window of the
// program (a message box waiting for OK) is open. Qt keeps the mouse and the
// keyboard from the window behind such a box, but not assistive technology's
// actions.
bool MayPress(const QWidget* key);

// One key of the keyboard as the user holds it: its first press and its real
// release, however the window system repeats it in between. X11 repeats a held
// key as release and press pairs with one timestamp, often without marking
// them as repeats; so a release counts as real only once no press of the same
// key has followed it promptly, and Released comes that much later.
class KeyHold : public QObject {
    Q_OBJECT
public:
    explicit KeyHold(QObject* parent);

    // A press that repeats the key held, or the one just let go: marked as a
    // repeat, or a press of a key held with no release between, or one at most
    // kRepeatGapMs (by the events' timestamps) after the key's release; a
    // press without a timestamp, while its release waits.
    bool Repeats(const QKeyEvent& press) const;
    // True when the press starts a hold; repeats and other keys while one is
    // held start none.
    bool Press(const QKeyEvent& press);
    // True when the release belongs to the hold (the caller then ignores it).
    // A real release is reported as Released once kSettleMs have passed
    // without a press repeating it.
    bool Release(const QKeyEvent& release);
    // Decides at once: a release still waiting for a repeat is real; a key
    // still down is forgotten without Released (its release will not come
    // here).
    void Settle();
    // Down, no release seen yet.
    bool Held() const { return down_ && !settle_.isActive(); }
    // Time of day when the key of the last hold came up, as its release event
    // arrived.
    float ReleaseTime() const { return releaseTime_; }

    // X11's default repeat runs at 25 per second: a release and a press of one
    // repeat share a timestamp, and no hand lets a key go and presses it again
    // within one repeat interval.
    static constexpr unsigned long kRepeatGapMs = 40;
    // How long a release waits for the press of its pair. That press comes
    // right behind it in the event queue; this covers a busy event loop (a
    // repaint, a chart redraw) between the two, and is short enough not to be
    // noticed on a key's release.
    static constexpr int kSettleMs = 100;

signals:
    void Released();

private:
    void Report();

    QTimer settle_;
    int key_ = 0;                    // the key of the hold, kept after it ends
    bool down_ = false;              // from the first press until Released
    bool silent_ = false;            // a repeat that came after Released: no second Released
    bool ended_ = false;             // key_ came up at releaseStamp_
    unsigned long releaseStamp_ = 0; // the release's timestamp, ms
    float releaseTime_ = 0;
};

// A keypad key. Reports button-down and button-up of the left mouse button
// only; other buttons reach no handler and leave the focus where it was, as
// on the supply's own keys. Space or Enter on the focused key goes down and up
// like the left button, once per press of the key, so a held Space is a long
// press; the keyboard's auto-repeat is ignored.
class PanelKey : public QPushButton {
    Q_OBJECT
public:
    PanelKey(const QString& caption, QWidget* parent);

    // One short press and release, as a quick left click, if MayPress.
    void Tap();
    // Time of day when the key last came up: the mouse button, Tap, or the
    // real release of Space or Enter (reported a little later, see KeyHold).
    float ReleaseTime() const { return releaseTime_; }

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
    void KeyReleased();

    // Space or Enter held on this key: only a release of a press that went
    // down here counts, not one that arrives after the focus moved here.
    KeyHold* hold_;
    float releaseTime_ = 0;
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

    // The key going down and up for the keyboard or assistive technology;
    // Down reports whether it went down (see MayPress).
    bool Down();
    void Up();
    // One short press and release, as a quick click.
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
// reported as Submitted, once however long it is held, and not as an Enter
// key release.
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
    // The Enter of Ctrl+Enter: its repeats and its release are no Enter of
    // their own, even when Ctrl comes up first.
    KeyHold* submit_;
};
