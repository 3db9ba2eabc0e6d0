// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of what the panel shows and what the simulated supply holds, written
// as "name=text" pairs in test tables.
#pragma once

#include "main_window.h"
#include "sim_process.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

// For each "name=text" pair whose label or entry box shows something else, a
// line naming it and what it shows; empty when all match.
QString ShownMismatches(const Form1& panel, const QStringList& expected);

// Long enough for several of the monitor's one-second polls on a loaded
// machine: a display that the poll refreshes shows the supply's value by then.
constexpr int kPollWaitMs = 10000;

// Waits, with events running, until every pair shows (a poll brought it) or
// the deadline passed; then ShownMismatches: empty when all show.
QString WaitUntilShown(const Form1& panel, const QStringList& expected,
                       int timeoutMs = kPollWaitMs);

// The same for "key=value" pairs of the simulator's state.
QString SupplyMismatches(SimProcess& sim, const QStringList& expected);

// True when every control is enabled (or every one disabled); otherwise a
// warning names each control that is not.
bool AllEnabled(const QList<QWidget*>& controls, bool enabled);

// The keys that a percent edit disables (the output off) and that a closed
// edit gives back.
QList<QWidget*> EditGroup(const Form1& panel);

// The panel pauses 0.15 s after a set command; the simulator stamps each line
// in whole milliseconds as it ends, so a gap may read a little shorter.
constexpr qint64 kPauseMs = 140;

// For each two neighbouring log entries less than `leastMs` apart, their
// commands and the gap; empty when there are none.
QString ShortPauses(const QList<SimProcess::LogEntry>& entries, qint64 leastMs = kPauseMs);

// The name under which assistive technology knows the control.
QString HeardName(QObject* control);

// Makes the panel the active window, so that a box given the focus really has
// it and loses it to a pressed key, as for a user. False if that fails.
bool ActivatePanel(Form1& panel);
