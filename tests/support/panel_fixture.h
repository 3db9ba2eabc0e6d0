// SPDX-License-Identifier: GPL-3.0-or-later
// PanelTest: the base of a test class whose every test function gets a fresh
// SimPanel, made before the function and taken down after it (a test that
// replaced the list of the machine's serial ports gets it back too).
//
//   class LimitKeysTest : public PanelTest {
//       Q_OBJECT
//   private slots:
//       void longPress();
//   };
//   void LimitKeysTest::longPress() {
//       QVERIFY(bench().Start({"--model", "ZRM-711"}));
//       ...
//   }
#pragma once

#include "sim_panel.h"

#include <QObject>
#include <memory>

class PanelTest : public QObject {
    Q_OBJECT
protected:
    SimPanel& bench() { return *bench_; }

private slots:
    void init();
    void cleanup();

private:
    std::unique_ptr<SimPanel> bench_;
    QList<SerialPortDescription> (*listPorts_)() = nullptr;
};
