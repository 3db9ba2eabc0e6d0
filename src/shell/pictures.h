// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own pictures, drawn at run time: the application icon and
// the arrows of the up and down keys.
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon AppIcon();
// A green arrow pointing up with a plus sign, or down with a minus sign.
QPixmap ArrowPicture(bool up);
