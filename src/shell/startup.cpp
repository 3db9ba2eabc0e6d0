// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "panel_texts.h"

#include <QDir>
#include <QLockFile>
#include <QResizeEvent>
#include <QStandardPaths>
#include <memory>

namespace {

// One copy per user: a lock file in the user's runtime folder, held for the
// life of the process. A copy that was killed leaves a stale lock, which the
// next start takes over.
bool AnotherCopyRunning() {
    static std::unique_ptr<QLockFile> held;
    if (held) {
        return false;
    }
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    auto lock = std::make_unique<QLockFile>(dir + QStringLiteral("/zrm-panel.lock"));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        return lock->error() == QLockFile::LockFailedError;
    }
    held = std::move(lock);
    return false;
}

} // namespace

bool Form1::Form1_Load() {
    if (AnotherCopyRunning()) {
        ShowMessage(MessageText::AlreadyRunning, windowTitle());
        close();
        EndProgram();
        return false;
    }
    InitModelTable();
    Timer2->start();
    return true;
}

void Form1::InitModelTable() {
    FormWidth = static_cast<float>(width());
    FormHeight = static_cast<float>(height());
    FillTables();
}

void Form1::Timer2_Timer() {
    // Off first: the connection pumps events and must not tick again.
    Timer2->stop();
    ConnectSupply();
    if (!Headless) {
        show();
        raise();
        activateWindow();
    }
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize designed(static_cast<int>(FormWidth), static_cast<int>(FormHeight));
    if (FormWidth > 0 && event->size() != designed && !isMinimized()) {
        resize(designed);
    }
}

void Form1::cmd_exit_Click() {
    EndProgram();
}
