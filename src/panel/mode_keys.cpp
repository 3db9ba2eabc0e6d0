// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "supply_commands.h"
#include "wire_trace.h"

void Form1::cmd_output_MouseDown() {
    OutputOn = static_cast<std::int16_t>(1 - OutputOn);
    // The supply toggles on "KO"; its state is not read back.
    SendCommand(KeyCommand::ToggleOutput);
    ShowOutputState();
    // Measured values only change while the output is on.
    if (OutputOn == 1) {
        Timer3->start();
    } else {
        Timer3->stop();
    }
}

void Form1::cmd_lock_MouseDown() {
    KeyPressTime = TimeOfDay();
    SetPanelEnabled(false);
    Locked = 1;
}

void Form1::cmd_lock_MouseUp() {
    // A hold across midnight counts as short and keeps the panel locked.
    if (HeldLong()) {
        SetPanelEnabled(true);
        Locked = 0;
    }
}

void Form1::cmd_rem_MouseDown() {
    // The one-second wait and the connection pump events: a second REM, or one
    // while the start-up connection runs, would start a scan inside the scan.
    if (Reconnecting || Connecting != kFalse) {
        return;
    }
    Reconnecting = true;
    LostLinkReported = false;
    qCDebug(lcLink).noquote() << TraceMs() << "reconnect";
    Timer3->stop();
    // Only a lost link leaves REM usable during an edit.
    if (EditTarget != EditTargets::VoltageSet) {
        AbandonEdit();
    }
    EditTarget = EditTargets::VoltageSet.toString();
    WaitSeconds(1);
    ConnectSupply();
    Reconnecting = false;
}

void Form1::cmd_n_MouseDown() {
    SendCommand(KeyCommand::NormalStep);
    FineMode = 0;
    lbl_fine->hide();
}

void Form1::cmd_f_MouseDown() {
    SendCommand(KeyCommand::FineStep);
    lbl_fine->show();
    FineMode = 1;
}

void Form1::tmr_flash_Timer() {
    if (FlashControl != nullptr) {
        // isHidden: the label's own state, whatever its window shows.
        FlashControl->setVisible(FlashControl->isHidden());
    }
}
