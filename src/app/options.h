// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line and the environment variable of remote control.
#pragma once

#include "scpi_server.h"

#include <QString>
#include <QStringList>

struct ProgramOptions {
    bool headless = false; // --headless: no window, no message box
    bool remoteOn = false; // --scpi or ZRM_SCPI: remote control on from the start
    ListenAddress remote;  // where remote control listens, also when the menu starts it
    bool help = false;     // --help: print text and end
    bool version = false;  // --version: print text and end
    QString text;          // the help or the version
    QString error;         // an option that cannot be followed: said, the program ends (2)
    QString warning;       // ZRM_SCPI unusable: said, remote control stays off
};

// Reads the arguments (the program's name first) and the value of ZRM_SCPI;
// the command line wins over the variable.
ProgramOptions ParseOptions(const QStringList& arguments, const QString& scpiVariable);

// Whether --headless stands among the arguments: the platform must be chosen
// before the application exists.
bool HeadlessRequested(int argc, char* argv[]);
