// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_texts.h"
#include "supply_link.h"

#include <QSet>
#include <QtGlobal>
#include <algorithm>

namespace {

bool IsAdapter(const SerialPortDescription& port) {
    return port.vendorId.has_value() || port.name.startsWith(u"ttyUSB") ||
           port.name.startsWith(u"ttyACM");
}

// The run of digits at i, without leading zeros; i moves past it.
QStringView DigitRun(QStringView text, qsizetype& i) {
    const qsizetype start = i;
    while (i < text.size() && text[i].isDigit()) {
        ++i;
    }
    QStringView run = text.sliced(start, i - start);
    while (run.size() > 1 && run.front() == u'0') {
        run = run.sliced(1);
    }
    return run;
}

// Runs of digits compare by value: ttyUSB2 before ttyUSB10.
int NaturalCompare(QStringView a, QStringView b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const QStringView runA = DigitRun(a, i);
            const QStringView runB = DigitRun(b, j);
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size() ? -1 : 1;
            }
            if (const int c = runA.compare(runB); c != 0) {
                return c;
            }
        } else if (a[i] != b[j]) {
            return a[i] < b[j] ? -1 : 1;
        } else {
            ++i;
            ++j;
        }
    }
    return (i < a.size()) - (j < b.size());
}

// A name that is missing sorts after every name that is there; names that
// are there compare with their runs of digits by value.
int PresentFirstCompare(const QString& a, const QString& b) {
    if (a.isEmpty() != b.isEmpty()) {
        return a.isEmpty() ? 1 : -1;
    }
    return NaturalCompare(a, b);
}

bool ComesBefore(const SerialPortDescription& a, const SerialPortDescription& b) {
    if (IsAdapter(a) != IsAdapter(b)) {
        return IsAdapter(a);
    }
    if (IsAdapter(a)) {
        const bool serialA = !a.serialNumber.isEmpty();
        if (serialA != !b.serialNumber.isEmpty()) {
            return serialA;
        }
        const int c = serialA ? PresentFirstCompare(a.byIdName, b.byIdName)
                              : PresentFirstCompare(a.byPathName, b.byPathName);
        if (c != 0) {
            return c < 0;
        }
        if (const int s = a.serialNumber.compare(b.serialNumber); s != 0) {
            return s < 0;
        }
    }
    return NaturalCompare(a.systemLocation, b.systemLocation) < 0;
}

QLatin1String OutcomeText(PortOutcome outcome) {
    switch (outcome) {
    case PortOutcome::Opened:
        return PortOutcomeText::Opened;
    case PortOutcome::NotPresent:
        return PortOutcomeText::NotPresent;
    case PortOutcome::Denied:
        return PortOutcomeText::Denied;
    case PortOutcome::Busy:
        return PortOutcomeText::Busy;
    case PortOutcome::StaleLock:
        return PortOutcomeText::StaleLock;
    case PortOutcome::Failed:
        return PortOutcomeText::Failed;
    case PortOutcome::Silent:
        return PortOutcomeText::Silent;
    case PortOutcome::Answered:
        break;
    }
    return PortOutcomeText::Answered;
}

} // namespace

QStringList OrderComPorts(QList<SerialPortDescription> ports, const QStringList& overrides,
                          const std::function<QString(const QString&)>& deviceOf) {
    const auto device = [&](const QString& path) { return deviceOf ? deviceOf(path) : path; };
    QSet<QString> named;
    for (const QString& over : overrides) {
        if (!over.isEmpty()) {
            named.insert(device(over));
        }
    }
    std::stable_sort(ports.begin(), ports.end(), ComesBefore);
    QStringList rest;
    for (const SerialPortDescription& port : ports) {
        if (!named.contains(device(port.systemLocation))) {
            rest << port.systemLocation;
        }
    }
    QSet<QString> tried;
    QStringList paths;
    for (int n = 1; n <= kComPortCount; ++n) {
        const QString over = overrides.value(n - 1);
        if (over.isEmpty()) {
            paths << (rest.isEmpty() ? QString() : rest.takeFirst());
        } else if (tried.contains(device(over))) {
            paths << QString();
        } else {
            tried.insert(device(over));
            paths << over;
        }
    }
    return paths;
}

QStringList ComPortOverrides() {
    QStringList overrides;
    for (int n = 1; n <= kComPortCount; ++n) {
        const QByteArray variable = "ZRM_COM" + QByteArray::number(n);
        QString path = qEnvironmentVariable(variable.constData());
#ifdef Q_OS_WIN
        if (path.isEmpty()) {
            path = ComPortName(n);
        }
#endif
        overrides << path;
    }
    return overrides;
}

QString ComPortName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

QString ScanLine(int n, const QString& path, const PortOpening& opening) {
    const QString port = path.isEmpty() ? ComPortName(n) : ComPortName(n) + u' ' + path;
    QString outcome = OutcomeText(opening.outcome);
    if (opening.outcome == PortOutcome::StaleLock) {
        outcome = outcome.arg(opening.lockFile).arg(opening.lockPid);
    }
    return port + QLatin1String(": ") + outcome;
}

QString EscapeControls(QStringView text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r') {
            escaped += QLatin1String("\\r");
        } else if (u == u'\n') {
            escaped += QLatin1String("\\n");
        } else if (u == u'\t') {
            escaped += QLatin1String("\\t");
        } else if (u == u'\\') {
            escaped += QLatin1String("\\\\");
        } else if (u < 0x20 || u >= 0x7f) {
            escaped += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    return escaped;
}
