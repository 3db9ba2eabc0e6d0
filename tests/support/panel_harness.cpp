// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_harness.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

MessageBoxCloser::MessageBoxCloser() {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxCloser::CloseOpenBox);
    timer_.start(10);
}

void MessageBoxCloser::CloseOpenBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
        return;
    }
    if (box != recorded_) {
        recorded_ = box;
        seen_.append({box->windowTitle(), box->text(), box->detailedText(), box->icon()});
    }
    if (!keepOpen_) {
        box->accept();
    }
}

namespace {
int g_endCount = 0;
}

EndProgramRecorder::EndProgramRecorder() : previous_(Form1::EndProgram) {
    g_endCount = 0;
    Form1::EndProgram = [] { ++g_endCount; };
}

EndProgramRecorder::~EndProgramRecorder() {
    Form1::EndProgram = previous_;
}

int EndProgramRecorder::Count() {
    return g_endCount;
}

QString MissingPortPath(int n) {
    return QStringLiteral("/nonexistent/zrm-test-com%1").arg(n);
}

void PointComPorts(const QStringList& paths) {
    for (int n = 1; n <= kComPortCount; ++n) {
        const QString path = n <= paths.size() ? paths[n - 1] : MissingPortPath(n);
        qputenv(QStringLiteral("ZRM_COM%1").arg(n).toLatin1().constData(), path.toLocal8Bit());
    }
}

bool StartPanel(Form1& panel, int timeoutMs) {
    if (!panel.Form1_Load()) {
        return false;
    }
    panel.show();
    // The start-up tick runs 10 ms after load; the connection is over when
    // the tick has stopped its timer and Connecting is false again.
    return QTest::qWaitFor(
        [&] {
            return !panel.Timer2->isActive() && panel.Connecting == kFalse &&
                   panel.StatusText(StatusPanel::Status) != StatusPanel1::Finding;
        },
        timeoutMs);
}
