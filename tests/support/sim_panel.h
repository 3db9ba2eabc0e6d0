// SPDX-License-Identifier: GPL-3.0-or-later
// SimPanel: the panel window (a WatchedPanel: message boxes closed, its end
// counted) connected to zrm-sim over a pseudo-terminal, for tests that press
// the panel's keys and read the wire back from the simulator's log. A test
// that scans other ports uses the panel and leaves the simulator unstarted.
//
//   SimPanel s;
//   QVERIFY(s.Start({"--model", "ZRM-711", "--vset", "12"}));
//   Click(s.panel().cmd_add);
//   QCOMPARE(s.Sent(), QStringList{"SV+"});
//   QCOMPARE(s.sim().State().value("vset"), s.panel().dis_v->text());
#pragma once

#include "main_window.h"
#include "panel_checks.h"
#include "panel_harness.h"
#include "program.h"
#include "sim_process.h"

#include <QStringList>
#include <functional>
#include <memory>

class SimPanel {
public:
    SimPanel();
    ~SimPanel();

    // Starts the simulator with args (replies without line pacing) and the
    // panel on it; true once the panel is connected and says "Ready".
    bool Start(const QStringList& args);

    Form1& panel() { return *watched_->panel; }
    SimProcess& sim() { return *sim_; }
    MessageBoxCloser& boxes() { return watched_->boxes; }

    // The command lines that the panel sent since the previous call (or since
    // the connection), the monitor's "L" polls left out. A marker line sent
    // last and waited for makes sure that nothing still on its way is missed.
    QList<SimProcess::LogEntry> SentEntries();
    QStringList Sent();

private:
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<WatchedPanel> watched_;
    qsizetype seen_ = 0;
};

// Presses and releases a key with one mouse button.
void Click(QWidget* key, Qt::MouseButton button = Qt::LeftButton);

// Gives the box the focus, as a click into it does, and types text into it.
void TypeInto(QWidget* box, const QString& text);

// Types into a box that has the focus, replacing what it holds, as a user
// selects the old text and types over it.
void TypeOver(QWidget* box, const QString& text);

// Holds a key of the keyboard down as X11 delivers it: the first press, then
// `repeats` auto-repeat pairs (a release and a press with one timestamp,
// marked as repeats or, as X11 mostly leaves them, not), then the real
// release. Every event goes to the window, which hands it to the control with
// the focus. `modifiers` go with the presses; the release comes without them,
// as after the modifier keys came up first. `whileHeld` runs after the first
// press. The timestamps run on from one call to the next; without `stamped`
// every event has none, as when Qt's AT-SPI bridge passes them on late for a
// screen reader's keyboard listener.
void HoldKey(QWidget* window, Qt::Key key, int repeats, bool marked,
             const std::function<void()>& whileHeld = {},
             Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool stamped = true);

// No key of the panel drawn pressed: a key's release has been handled, which
// the panel reports a little after the key came up.
bool KeysUp(const Form1& panel);

// Presses the key with the left button, runs `whilePressed`, moves the press
// time back by `hold` seconds instead of holding the key that long, and
// releases it. The clock moves on between the two readings: a try in which a
// hold just under the long-press time became a long one is repeated.
void PressAndHold(Form1& panel, QWidget* key, float hold,
                  const std::function<void()>& whilePressed = {});

// The status queries the simulator has received: one a monitor poll.
qsizetype PollCount(const SimProcess& sim);

// Waits until `more` polls came after the first `before`; false at the deadline.
bool WaitForPolls(const SimProcess& sim, qsizetype before, int more);
