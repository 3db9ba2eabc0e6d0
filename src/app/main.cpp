// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"
#include "trend_controller.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zrm-panel"));
    const std::unique_ptr<Form1> panel = MakePanel();
    if (!panel->Form1_Load()) {
        return 0;
    }
    // Owned by the panel.
    new TrendController(*panel);
    panel->show();
    return QApplication::exec();
}
