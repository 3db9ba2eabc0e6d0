// SPDX-License-Identifier: GPL-3.0-or-later
// Joins remote control to the panel: the SCPI server with the panel as its
// instrument, the status-bar panel that shows it on with its client count,
// the context menu's entry that switches it, and what it tells the user.
#pragma once

#include "panel_instrument.h"
#include "scpi_server.h"

#include <QObject>

class QAction;
class QLabel;

class RemoteControl : public QObject {
    Q_OBJECT
public:
    // The environment variable that switches remote control on at an address.
    static constexpr const char* kAddressVariable = "ZRM_SCPI";

    // Off until started; where is the address it listens on when it is.
    RemoteControl(Form1& panel, const ListenAddress& where);

    // Listens; says so on standard error, with a warning when the address
    // reaches beyond this computer. When the address cannot be had (the port
    // in use) it tells the user as the panel tells its errors and stays off.
    bool Start();
    void Stop();
    bool Running() const { return server_.IsListening(); }

    // Runs over LIST and INITiate, and the counters.
    void JoinRuns(RunControl& runs) { instrument_.JoinRuns(runs); }

    // The context menu's entry: checked while remote control runs.
    QAction* Action() const { return action_; }
    ScpiServer& Server() { return server_; }
    // The status-bar panel.
    QLabel* StatusPanel() const { return panelLabel_; }

private:
    void ShowState();

    Form1& panel_;
    PanelInstrument instrument_;
    ScpiServer server_;
    ListenAddress where_;
    QLabel* panelLabel_;
    QAction* action_;
    int portWidth_; // the port panel's width as designed, narrowed while remote control is on
};
