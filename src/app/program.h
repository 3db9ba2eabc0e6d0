// SPDX-License-Identifier: GPL-3.0-or-later
// The program put together: the panel window and the capabilities joined to
// it. Each capability reaches the panel through its controls and signals
// only; the panel knows none of them.
#pragma once

#include "main_window.h"

#include <memory>

// The panel window with the keyboard and screen-reader access joined to it,
// as the program and its tests build every panel. The program's own
// accessible interfaces are installed before the controls are built, as an
// interface, once asked for, is kept.
std::unique_ptr<Form1> MakePanel();

struct ProgramOptions;

// Joins the capabilities to a loaded panel as the options ask: the trend and
// the CSV log, remote control with its menu entry, and without a window the
// log that ZRM_LOG_FILE names and the reconnection every 10 s.
void JoinCapabilities(Form1& panel, const ProgramOptions& options);
