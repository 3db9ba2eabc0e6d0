// SPDX-License-Identifier: GPL-3.0-or-later
// The lock files of serial devices. Qt's serial port takes one in the
// system's lock folder for every device it opens, named after the path it
// was given, and refuses a device whose lock file another process holds or
// that it may not remove; a program that was killed leaves its file behind.
#pragma once

#include "supply_link.h"

#include <QString>
#include <optional>

// The lock file that Qt's serial port takes for the device at path: "LCK.."
// and the path without "/dev/", its slashes as underscores, in the first
// lock folder that it may use. Empty where there is none (not on Windows).
QString SerialLockFile(const QString& path);

// The device's lock file, as a StaleLock opening, when the process of this
// machine that it names no longer runs; nothing when there is no lock file,
// it cannot be read, or its process is alive.
std::optional<PortOpening> FindStaleLock(const QString& path);
