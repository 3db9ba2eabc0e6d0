// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces that MakeAccessible puts together.
#pragma once

#include "accessibility.h"

#include <QString>

class QAccessibleInterface;
class QWidget;

// The interface of a reading label of the main window; null for any other.
QAccessibleInterface* ReadingInterface(const QString& className, QWidget* widget);
// The interface of a panel key or an image key; null for any other.
QAccessibleInterface* KeyInterface(const QString& className, QWidget* widget);

// Moves each label's and percent box's meaning from its name to its
// description, so that its name can carry the reading.
void DescribeReadings(Form1& form);

// Each key's tooltip and description, and the switching keys' states kept
// current for assistive technology.
void DescribeKeys(Form1& form);

// Ctrl+Enter in the entry boxes, the arrow keys, Enter on EXIT and the focus
// frame.
void InstallKeyboard(Form1& form);
