// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripted_line.h"

#include <QFile>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

ScriptedLine::ScriptedLine() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    // Raw from the start, so bytes written before the panel opens the port
    // are neither echoed nor held for a line. The slave stays open here too,
    // so the master never sees a hang-up between the panel's opens.
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    const QString link = linkDir_.filePath(QStringLiteral("port"));
    if (QFile::link(QString::fromLocal8Bit(name), link)) {
        path_ = link;
    }
    readNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &ScriptedLine::ReadFromPanel);
    writeNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &ScriptedLine::WritePending);
}

ScriptedLine::~ScriptedLine() {
    Unplug();
    if (slave_ >= 0) {
        ::close(slave_);
    }
}

void ScriptedLine::Answer(const QString& command, const QByteArray& reply) {
    answers_.insert(command, reply);
}

void ScriptedLine::Write(const QByteArray& bytes) {
    pending_ += bytes;
    WritePending();
}

void ScriptedLine::Flood(qsizetype count) {
    Write(QByteArray(count, 'x'));
}

void ScriptedLine::Hold(bool held) {
    if (readNotifier_) {
        readNotifier_->setEnabled(!held);
    }
    if (!held) {
        ReadFromPanel();
    }
}

void ScriptedLine::Unplug() {
    readNotifier_.reset();
    writeNotifier_.reset();
    pending_.clear();
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    // Without this the slave would stay a live tty for the panel.
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
}

void ScriptedLine::WritePending() {
    while (master_ >= 0 && !pending_.isEmpty()) {
        const ssize_t written =
            ::write(master_, pending_.constData(), static_cast<size_t>(pending_.size()));
        if (written <= 0) {
            break;
        }
        pending_.remove(0, written);
    }
    if (writeNotifier_) {
        writeNotifier_->setEnabled(!pending_.isEmpty());
    }
}

void ScriptedLine::ReadFromPanel() {
    char chunk[4096];
    ssize_t got;
    while ((got = ::read(master_, chunk, sizeof chunk)) > 0) {
        received_.append(chunk, got);
    }
    qsizetype end;
    while ((end = received_.indexOf('\r', answeredUpTo_)) >= 0) {
        const QString command =
            QString::fromLatin1(received_.mid(answeredUpTo_, end - answeredUpTo_));
        answeredUpTo_ = end + 1;
        if (answers_.contains(command)) {
            Write(answers_.value(command));
        }
    }
}

QStringList ScriptedLine::Commands() const {
    QStringList commands = QString::fromLatin1(received_).split(u'\r');
    commands.removeLast();
    return commands;
}

bool ScriptedLine::WaitForCommands(int n, int timeoutMs) const {
    return QTest::qWaitFor([&] { return Commands().size() >= n; }, timeoutMs);
}
