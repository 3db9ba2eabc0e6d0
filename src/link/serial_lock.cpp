// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial_lock.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

namespace {

#ifdef Q_OS_UNIX
bool ProcessRuns(qint64 pid) {
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
#endif

} // namespace

QString SerialLockFile(const QString& path) {
#ifdef Q_OS_UNIX
    // The folders Qt's serial port tries, in its order.
    static const char* const kFolders[] = {
        "/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
        "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock",
    };
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(u'/', u'_');
    for (const char* folder : kFolders) {
        const QFileInfo dir(QString::fromLatin1(folder));
        const QString file = dir.filePath() + QLatin1String("/LCK..") + name;
        if (dir.isReadable() && (QFile::exists(file) || dir.isWritable())) {
            return file;
        }
    }
#else
    Q_UNUSED(path);
#endif
    return {};
}

std::optional<PortOpening> FindStaleLock(const QString& path) {
#ifdef Q_OS_UNIX
    const QString file = SerialLockFile(path);
    QFile lock(file);
    if (file.isEmpty() || !lock.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // Qt writes the process number, the program and the host on lines of
    // their own; the programs of the UUCP tradition start with the number.
    const QList<QByteArray> lines = lock.read(4096).split('\n');
    bool number = false;
    const qint64 pid = lines.value(0).simplified().split(' ').value(0).toLongLong(&number);
    const QByteArray host = lines.value(2);
    const bool here = host.isEmpty() || host == QSysInfo::machineHostName().toUtf8();
    if (!number || pid <= 0 || !here || ProcessRuns(pid)) {
        return std::nullopt;
    }
    return PortOpening{PortOutcome::StaleLock, QFileInfo(file).canonicalFilePath(), pid};
#else
    Q_UNUSED(path);
    return std::nullopt;
#endif
}
