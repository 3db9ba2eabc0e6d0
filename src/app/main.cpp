// SPDX-License-Identifier: GPL-3.0-or-later
#include "headless.h"
#include "options.h"
#include "program.h"
#include "remote_control.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    // Without a window the program needs no screen either.
    if (HeadlessRequested(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zrm-panel"));
    QApplication::setApplicationVersion(QStringLiteral(ZRM_VERSION));
    const ProgramOptions options = ParseOptions(
        QApplication::arguments(), qEnvironmentVariable(RemoteControl::kAddressVariable));
    if (options.help || options.version) {
        std::fputs(
            qPrintable(options.help ? options.text : QStringLiteral("zrm-panel " ZRM_VERSION "\n")),
            stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "zrm-panel: %s\n", qPrintable(options.error));
        return 2;
    }
    if (!options.warning.isEmpty()) {
        std::fprintf(stderr, "zrm-panel: %s\n", qPrintable(options.warning));
    }
    QuitOnTerminationSignals();
    const std::unique_ptr<Form1> panel = MakePanel();
    panel->Headless = options.headless;
    if (!panel->Form1_Load()) {
        return 0;
    }
    JoinCapabilities(*panel, options);
    if (!options.headless) {
        panel->show();
    }
    return QApplication::exec();
}
