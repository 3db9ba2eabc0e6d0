// SPDX-License-Identifier: GPL-3.0-or-later
// Only one copy of the panel runs per user: a second one says so and ends
// without touching the serial line that the first one holds.
#include "main_window.h"
#include "panel_harness.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class SingleCopyTest : public QObject {
    Q_OBJECT
private slots:
    void secondCopyIsRefused();
};

void SingleCopyTest::secondCopyIsRefused() {
    PointComPorts({});
    const QString lockPath = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                             QStringLiteral("/zrm-panel.lock");

    QProcess first;
    first.setProgram(QStringLiteral(ZRM_PANEL_PATH));
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start();
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lockPath), 20000);

    MessageBoxCloser boxes;
    EndProgramRecorder end;
    Form1 second;
    QVERIFY(!second.Form1_Load());
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Seen().first().text, MessageText::AlreadyRunning);
    QCOMPARE(boxes.Seen().first().title, second.windowTitle());
    QCOMPARE(EndProgramRecorder::Count(), 1);
    // No start-up tick, so no connection attempt and no port opened.
    QVERIFY(!second.Timer2->isActive());
    QVERIFY(!second.MSComm1->isOpen());

    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    QVERIFY(first.waitForFinished());

    // The first copy was killed: its lock is stale, and a new start takes it over.
    Form1 next;
    QVERIFY(next.Form1_Load());
    QCOMPARE(boxes.Count(), 1);
}

QTEST_MAIN(SingleCopyTest)
#include "test_single_copy.moc"
