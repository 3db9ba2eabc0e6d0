// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "remote_control.h"
#include "remote_texts.h"

#include <QCommandLineParser>
#include <cstring>

namespace {

constexpr const char* kScpiOption = "scpi";

} // namespace

ProgramOptions ParseOptions(const QStringList& arguments, const QString& scpiVariable) {
    ProgramOptions options;
    options.remote = *ParseListenAddress(QLatin1String(kDefaultListenAddress));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Soft front panel for ZRM programmable DC power supplies."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: messages go to standard error."));
    const QCommandLineOption scpi(
        QLatin1String(kScpiOption),
        QStringLiteral("Remote control over SCPI on ADDRESS:PORT, %1 without a value.")
            .arg(QLatin1String(kDefaultListenAddress)),
        QStringLiteral("ADDRESS:PORT"));
    parser.addOption(headless);
    parser.addOption(scpi);

    // A bare --scpi, one not followed by an address, takes the default
    // address; the parser wants a value.
    QStringList given = arguments;
    for (qsizetype i = 0; i < given.size(); ++i) {
        const bool addressFollows = i + 1 < given.size() && ParseListenAddress(given[i + 1]);
        if (given[i] == u"--scpi" && !addressFollows) {
            given[i] += u'=' + QLatin1String(kDefaultListenAddress);
        }
    }
    if (!parser.parse(given)) {
        options.error = parser.errorText();
        return options;
    }
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    options.text = options.help ? parser.helpText() : QString();
    options.headless = parser.isSet(headless);
    if (!parser.positionalArguments().isEmpty()) {
        options.error =
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return options;
    }

    if (parser.isSet(scpi)) {
        const QString value = parser.value(scpi);
        const std::optional<ListenAddress> address = ParseListenAddress(value);
        if (!address) {
            options.error = QString(RemoteText::BadAddress).arg(QStringLiteral("--scpi"), value);
            return options;
        }
        options.remote = *address;
        options.remoteOn = true;
    } else if (!scpiVariable.isEmpty()) {
        const std::optional<ListenAddress> address = ParseListenAddress(scpiVariable);
        if (address) {
            options.remote = *address;
            options.remoteOn = true;
        } else {
            options.warning =
                QString(RemoteText::BadAddress)
                    .arg(QLatin1String(RemoteControl::kAddressVariable), scpiVariable);
        }
    }
    return options;
}

bool HeadlessRequested(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            return true;
        }
    }
    return false;
}
