// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_fixture.h"

void PanelTest::init() {
    listPorts_ = Form1::ListSerialPorts;
    bench_ = std::make_unique<SimPanel>();
}

void PanelTest::cleanup() {
    bench_.reset();
    Form1::ListSerialPorts = listPorts_;
}
