// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "trend_controller.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zrm-panel"));
    Form1 panel;
    if (!panel.Form1_Load()) {
        return 0;
    }
    // Owned by the panel.
    new TrendController(panel);
    panel.show();
    return QApplication::exec();
}
