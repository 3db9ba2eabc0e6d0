// SPDX-License-Identifier: GPL-3.0-or-later
#include "headless_panel.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

HeadlessPanel::HeadlessPanel() : env_(QProcessEnvironment::systemEnvironment()) {
    QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env_.insert("XDG_RUNTIME_DIR", runtime_.path());
    env_.remove("ZRM_SCPI");
    env_.remove("ZRM_LOG_FILE");
}

HeadlessPanel::~HeadlessPanel() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool HeadlessPanel::Start(const QString& com1, const QStringList& args, int timeoutMs) {
    env_.insert("ZRM_COM1", com1);
    for (int n = 2; n <= 4; ++n) {
        env_.insert(QStringLiteral("ZRM_COM%1").arg(n), runtime_.filePath("missing"));
    }
    process_.setProcessEnvironment(env_);
    process_.start(ZRM_PANEL_PATH, QStringList{"--headless"} + args);
    if (!process_.waitForStarted(timeoutMs)) {
        return false;
    }
    const bool remote =
        args.filter(QStringLiteral("--scpi")).size() > 0 || !env_.value("ZRM_SCPI").isEmpty();
    if (!remote) {
        return true;
    }
    static const QRegularExpression kListening(QStringLiteral(R"(\(SCPI\) on (\S+:\d+))"));
    return QTest::qWaitFor(
        [&] {
            const QRegularExpressionMatch match = kListening.match(ErrorOutput());
            address_ = match.hasMatch() ? match.captured(1) : QString();
            return !address_.isEmpty();
        },
        timeoutMs);
}

QString HeadlessPanel::ErrorOutput() {
    errors_ += QString::fromLocal8Bit(process_.readAllStandardError());
    return errors_;
}

bool HeadlessPanel::WaitForError(const QString& text, int timeoutMs) {
    return QTest::qWaitFor([&] { return ErrorOutput().contains(text); }, timeoutMs);
}

bool HeadlessPanel::Terminate(int timeoutMs) {
    process_.terminate();
    return process_.waitForFinished(timeoutMs) && process_.exitStatus() == QProcess::NormalExit &&
           process_.exitCode() == 0;
}
