// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptedLine: a serial line whose far end a test drives byte by byte. A
// pseudo-terminal pair; the panel opens the slave path like any tty, the test
// reads what the panel sent and writes exact reply bytes on the master side,
// which the simulator cannot always produce (a lone LF, two lines at once, a
// chosen "U" answer, a flood without LF).
//
//   ScriptedLine line;
//   line.Answer("U", "S40.005\n");   // reply to every "U" command line
//   PointComPorts({line.Path()});
//   ...
//   QVERIFY(line.WaitForCommands(2));
//   QCOMPARE(line.Commands(), QStringList({"SUM", "U"}));
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class ScriptedLine : public QObject {
    Q_OBJECT
public:
    ScriptedLine();
    ~ScriptedLine() override;

    // The path the panel opens: a link to the slave in a folder of its own,
    // so that a lock file a killed program left on the slave's name never
    // refuses the panel (Qt names the lock file after the path it opens).
    // Empty when the pseudo-terminal could not be made.
    QString Path() const { return path_; }

    // From now on, every command line `command` (without its CR) is answered with `reply`.
    void Answer(const QString& command, const QByteArray& reply);
    // Writes bytes to the panel at once.
    void Write(const QByteArray& bytes);
    // Writes `count` bytes of 'x' (no LF) as fast as the panel takes them.
    void Flood(qsizetype count);
    // Closes the master side: the panel's port hangs up, as when the cable is pulled.
    void Unplug();
    // Stops (true) or goes on (false) taking what the panel sends, as a
    // slow far end: the line's buffer fills meanwhile.
    void Hold(bool held);

    // Everything the panel sent, byte for byte.
    QByteArray Received() const { return received_; }
    // The command lines received so far, without their CR.
    QStringList Commands() const;
    bool WaitForCommands(int n, int timeoutMs = 10000) const;

private:
    void ReadFromPanel();
    void WritePending();

    int master_ = -1;
    int slave_ = -1;
    QTemporaryDir linkDir_;
    QString path_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    QByteArray received_;
    qsizetype answeredUpTo_ = 0;
    QByteArray pending_;
    QHash<QString, QByteArray> answers_;
};
