// SPDX-License-Identifier: GPL-3.0-or-later
// SimProcess: the supply simulator zrm-sim as a child process of a test.
//
//   SimProcess sim;
//   const QString port = sim.Start({"--model", "ZRM-3033", "--no-pacing"});
//   QVERIFY(!port.isEmpty());           // a link to the pseudo-terminal's slave
//   ... talk to `port`, or point ZRM_COM1 at it ...
//   QVERIFY(sim.WaitForLogCount(3));    // the supply has received three command lines
//   QCOMPARE(sim.LoggedCommands().last(), QString("SV 07.50"));
//   sim.Control("load 2.5");            // change the world in the middle of a session
//   QCOMPARE(sim.State().value("vset"), QString("07.50"));
//
// Every wait polls with the event loop running (QTest::qWaitFor) up to a deadline, so a
// panel living in the test process keeps working while the test waits. The simulator is
// started with "--log <temporary file>" and "--exit-on-eof"; the destructor closes its
// standard input, waits for it to end and kills it if it does not.
#pragma once

#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class SimProcess {
public:
    // One received command line: milliseconds since the simulator started, and the text.
    struct LogEntry {
        qint64 ms = 0;
        QString command;
    };

    static constexpr int kDefaultTimeoutMs = 10000;

    SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess();

    // Starts zrm-sim with `args` (see zrm-sim --help) and returns Port(); an empty string if
    // it did not start or printed nothing in time.
    QString Start(const QStringList& args = {}, int timeoutMs = kDefaultTimeoutMs);
    // The path to open the line at: the simulator's --link in its own folder, which follows
    // the slave through a replug, unless args named a --link (then the slave path). Qt's
    // serial port names its lock file after the path it opens, so a lock file that a killed
    // program left on /dev/pts/N never refuses a test that gets the same number.
    QString Port() const { return link_.isEmpty() ? slavePath_ : link_; }
    // The slave path most recently printed (after Start or Replug).
    QString SlavePath() const { return slavePath_; }

    // Every command line received so far, in order.
    QList<LogEntry> Log() const;
    QStringList LoggedCommands() const;
    // Waits until at least n command lines are logged; false on timeout.
    bool WaitForLogCount(int n, int timeoutMs = kDefaultTimeoutMs) const;

    // Writes one control line (e.g. "load 5", "silent 1", "unplug") to the simulator.
    void Control(const QString& line);
    // Sends "state" and returns the answer as a key=value map ("vset" -> "12.00", "vlimit"
    // -> "40", ...); empty on timeout. Control lines are handled in order, so when this
    // returns every earlier Control() has taken effect.
    QMap<QString, QString> State(int timeoutMs = kDefaultTimeoutMs);
    // Sends "replug" and returns Port() once the new slave is there (empty on timeout).
    QString Replug(int timeoutMs = kDefaultTimeoutMs);

    // Closes standard input and waits for the simulator to end; true if it ended with
    // status 0 within the time.
    bool Stop(int timeoutMs = kDefaultTimeoutMs);
    // The process, for signals and exit status.
    QProcess& Process() { return process_; }
    QString LogPath() const;

    // The commands of log entries, in order.
    static QStringList Commands(const QList<LogEntry>& entries);

private:
    // Waits for the next stdout line that satisfies `accept`, skipping others.
    QString WaitForLine(bool (*accept)(const QString&), int timeoutMs);
    void ReadOutput();

    QProcess process_;
    QTemporaryDir logDir_;
    QString slavePath_;
    QString link_;
    QByteArray partialLine_;
    QStringList lines_;
};
