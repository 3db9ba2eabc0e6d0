// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"
#include "accessibility.h"

std::unique_ptr<Form1> MakePanel() {
    InstallAccessibleInterfaces();
    auto panel = std::make_unique<Form1>();
    MakeAccessible(*panel);
    return panel;
}
