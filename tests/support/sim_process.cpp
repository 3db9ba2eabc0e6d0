// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_process.h"

#include <QFile>
#include <QTest>

namespace {

bool IsPath(const QString& line) {
    return line.startsWith('/');
}
bool IsState(const QString& line) {
    return line.startsWith("vset=");
}

} // namespace

SimProcess::SimProcess() {
    // The simulator's diagnostics belong in the test's output.
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { ReadOutput(); });
}

SimProcess::~SimProcess() {
    if (process_.state() != QProcess::NotRunning && !Stop(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString SimProcess::LogPath() const {
    return logDir_.filePath("sim.log");
}

QString SimProcess::Start(const QStringList& args, int timeoutMs) {
    QStringList all = args;
    all << "--log" << LogPath() << "--exit-on-eof";
    if (!args.contains(QStringLiteral("--link"))) {
        link_ = logDir_.filePath("port");
        all << "--link" << link_;
    }
    process_.start(ZRM_SIM_PATH, all);
    if (!process_.waitForStarted(timeoutMs)) {
        return {};
    }
    slavePath_ = WaitForLine(IsPath, timeoutMs);
    return slavePath_.isEmpty() ? QString() : Port();
}

void SimProcess::ReadOutput() {
    partialLine_ += process_.readAllStandardOutput();
    qsizetype newline;
    while ((newline = partialLine_.indexOf('\n')) >= 0) {
        lines_ << QString::fromLatin1(partialLine_.left(newline));
        partialLine_.remove(0, newline + 1);
    }
}

QString SimProcess::WaitForLine(bool (*accept)(const QString&), int timeoutMs) {
    QString found;
    const auto take = [&] {
        ReadOutput();
        while (!lines_.isEmpty()) {
            const QString line = lines_.takeFirst();
            if (accept(line)) {
                found = line;
                return true;
            }
        }
        return false;
    };
    return QTest::qWaitFor(take, timeoutMs) ? found : QString();
}

QList<SimProcess::LogEntry> SimProcess::Log() const {
    QList<LogEntry> entries;
    QFile file(LogPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return entries;
    }
    // Only whole lines: the simulator may be writing the next one right now.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype space = line.indexOf(' ');
        entries.append({line.left(space).toLongLong(), QString::fromLatin1(line.mid(space + 1))});
    }
    return entries;
}

QStringList SimProcess::LoggedCommands() const {
    return Commands(Log());
}

QStringList SimProcess::Commands(const QList<LogEntry>& entries) {
    QStringList commands;
    for (const LogEntry& entry : entries) {
        commands << entry.command;
    }
    return commands;
}

bool SimProcess::WaitForLogCount(int n, int timeoutMs) const {
    return QTest::qWaitFor([&] { return Log().size() >= n; }, timeoutMs);
}

void SimProcess::Control(const QString& line) {
    process_.write(line.toLatin1() + '\n');
    process_.waitForBytesWritten(kDefaultTimeoutMs);
}

QMap<QString, QString> SimProcess::State(int timeoutMs) {
    Control("state");
    QMap<QString, QString> state;
    const QString line = WaitForLine(IsState, timeoutMs);
    for (const QString& pair : line.split(' ', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf('=');
        state.insert(pair.left(equals), pair.mid(equals + 1));
    }
    return state;
}

QString SimProcess::Replug(int timeoutMs) {
    Control("replug");
    const QString path = WaitForLine(IsPath, timeoutMs);
    if (path.isEmpty()) {
        return {};
    }
    slavePath_ = path;
    return Port();
}

bool SimProcess::Stop(int timeoutMs) {
    process_.closeWriteChannel();
    const bool ended =
        QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
    return ended && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}
