// SPDX-License-Identifier: GPL-3.0-or-later
// HeadlessPanel: the real program, zrm-panel --headless, as a child process of
// a test or a benchmark, with its own runtime folder (so its single-copy lock
// meets no other) and COM1 pointed at a path.
//
//   HeadlessPanel panel;
//   QVERIFY(panel.Start(sim.SlavePath(), {"--scpi=127.0.0.1:0"}));
//   QVERIFY(!panel.RemoteAddress().isEmpty());   // what it said it listens on
//   ScpiClient client;  client.Connect(panel.RemoteAddress());
//   QVERIFY(panel.Terminate());                   // SIGTERM: ended with status 0
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class HeadlessPanel {
public:
    static constexpr int kDefaultTimeoutMs = 20000;

    HeadlessPanel();
    HeadlessPanel(const HeadlessPanel&) = delete;
    HeadlessPanel& operator=(const HeadlessPanel&) = delete;
    ~HeadlessPanel();

    // The environment the program starts with; add to it before Start.
    QProcessEnvironment& Environment() { return env_; }
    // Its runtime folder, where its single-copy lock lies.
    QString RuntimeDir() const { return runtime_.path(); }
    // Starts the program with COM1 at com1 (COM2 to COM4 at paths that do not
    // exist) and --headless plus args. With an --scpi argument it waits until
    // the program names its address; false when it did not start, or did not.
    bool Start(const QString& com1, const QStringList& args, int timeoutMs = kDefaultTimeoutMs);
    // "127.0.0.1:40123", as the program said on standard error.
    QString RemoteAddress() const { return address_; }
    // Everything the program wrote on standard error so far.
    QString ErrorOutput();
    // Waits until its standard error holds text; false at the deadline.
    bool WaitForError(const QString& text, int timeoutMs = kDefaultTimeoutMs);
    // Sends SIGTERM; true if it then ended by itself with status 0.
    bool Terminate(int timeoutMs = kDefaultTimeoutMs);
    QProcess& Process() { return process_; }

private:
    QTemporaryDir runtime_;
    QProcessEnvironment env_;
    QProcess process_;
    QString errors_;
    QString address_;
};
