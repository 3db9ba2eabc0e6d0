// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for tests that drive the real panel window: message boxes closed and
// recorded, the program's end observed instead of taken, the COM ports pointed
// at chosen paths. The texts that tests expect come from the program's own
// panel_texts.h (and trend_texts.h), pinned once in the unit tests.
#pragma once

#include "main_window.h"
#include "panel_texts.h"
#include "program.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

struct SeenMessage {
    QString title;
    QString text;
    QString details; // the text behind the details button
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// While alive, records every modal message box as soon as it shows (its title
// and text) and closes it with OK.
class MessageBoxCloser : public QObject {
    Q_OBJECT
public:
    MessageBoxCloser();
    const QList<SeenMessage>& Seen() const { return seen_; }
    int Count() const { return static_cast<int>(seen_.size()); }
    void Clear() { seen_.clear(); }
    // While true, the boxes are recorded but left open, for the user to close.
    void KeepOpen(bool keep) { keepOpen_ = keep; }

private:
    void CloseOpenBox();
    QTimer timer_;
    QList<SeenMessage> seen_;
    QPointer<QMessageBox> recorded_; // the open box that was recorded last
    bool keepOpen_ = false;
};

// Replaces the program's immediate end with a counter for the life of the object.
class EndProgramRecorder {
public:
    EndProgramRecorder();
    ~EndProgramRecorder();
    static int Count();

private:
    void (*previous_)();
};

// A panel whose message boxes are closed and recorded and whose end is
// counted; the panel goes first, while the closer and the recorder still stand.
struct WatchedPanel {
    MessageBoxCloser boxes;
    EndProgramRecorder ends;
    const std::unique_ptr<Form1> panel = MakePanel();
};

// Points COM1.. at the given paths; the remaining COM ports (up to 4) at paths
// that do not exist, so a test never opens the machine's real serial ports.
void PointComPorts(const QStringList& paths);

// A path that no port can be opened at.
QString MissingPortPath(int n);

// Creates the panel, runs its load handler and shows it; the start-up tick then
// connects. Waits until the connection has finished (or the deadline passed).
bool StartPanel(Form1& panel, int timeoutMs = 30000);
