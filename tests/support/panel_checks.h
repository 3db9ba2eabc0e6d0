// Checks of what the panel shows and what the simulated supply holds, written
// as "name=text" pairs in test tables.
#pragma once

#include "main_window.h"
#include "sim_process.h"

#include <QString>
#include <QStringList>

// For each "name=text" pair whose label or entry box shows something else, a
// line naming it and what it shows; empty when all match.
QString ShownMismatches(const Form1& panel, const QStringList& expected);

// The same for "key=value" pairs of the simulator's state.
QString SupplyMismatches(SimProcess& sim, const QStringList& expected);

// Makes the panel the active window, so that a box given the focus really has
// it and loses it to a pressed key, as for a user. False if that fails.
bool ActivatePanel(Form1& panel);
