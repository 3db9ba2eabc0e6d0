// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "supply_commands.h"
#include "wire_trace.h"

void Form1::cmd_output_MouseDown() {
    ToggleOutput();
}

void Form1::ToggleOutput() {
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
    KeyPressTime = KeyActionTime;
    LockPanel(true);
}

void Form1::cmd_lock_MouseUp() {
    // A hold across midnight counts as short and keeps the panel locked.
    if (HeldLong()) {
        LockPanel(false);
    }
}

void Form1::LockPanel(bool locked) {
    SetPanelEnabled(!locked);
    Locked = locked ? 1 : 0;
}

void Form1::cmd_rem_MouseDown() {
    Reconnect();
}

void Form1::Reconnect() {
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
    emit IdleAgain();
}

void Form1::cmd_n_MouseDown() {
    SelectStepSize(false);
}

void Form1::cmd_f_MouseDown() {
    SelectStepSize(true);
}

void Form1::SelectStepSize(bool fine) {
    SendCommand(fine ? KeyCommand::FineStep : KeyCommand::NormalStep);
    FineMode = fine ? 1 : 0;
    lbl_fine->setVisible(fine);
}

void Form1::tmr_flash_Timer() {
    if (FlashControl != nullptr) {
        // isHidden: the label's own state, whatever its window shows.
        FlashControl->setVisible(FlashControl->isHidden());
    }
}
