// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_csv.h"

#include "run_texts.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Set-points and limits as the panel shows them.
constexpr QStringView kVoltagePattern = u"0.00";
constexpr QStringView kCurrentPattern = u"0.00";
constexpr QStringView kPowerPattern = u"0";

const QStringList& Header() {
    static const QStringList header = RunStepHeader();
    return header;
}

// The cells of one line, unquoted and trimmed, without the empty ones at its
// end; nothing for a quote that is not closed.
std::optional<QStringList> Cells(QStringView line) {
    QStringList cells;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c != u'"') {
                cell += c;
            } else if (i + 1 < line.size() && line[i + 1] == u'"') {
                cell += c;
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            cells.append(cell.trimmed());
            cell.clear();
        } else {
            cell += c;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    cells.append(cell.trimmed());
    while (!cells.isEmpty() && cells.last().isEmpty()) {
        cells.removeLast();
    }
    return cells;
}

QString SecondsText(qint64 ms) {
    return DecimalText(static_cast<double>(ms) / 1000.0, RunDecimals::Seconds);
}

std::optional<QString> ReadNumber(QLatin1String field, const QString& value,
                                  std::optional<double>& into) {
    if (value.isEmpty()) {
        into.reset();
        return std::nullopt;
    }
    into = DecimalFromText(value);
    if (!into) {
        return QString(RunText::NotANumber).arg(field, value);
    }
    return std::nullopt;
}

std::optional<QString> ReadSeconds(QLatin1String field, const QString& value,
                                   std::optional<qint64>& into) {
    if (value.isEmpty()) {
        into.reset();
        return std::nullopt;
    }
    if (!DecimalFromText(value)) {
        return QString(RunText::NotANumber).arg(field, value);
    }
    into = MillisecondsFromText(value);
    if (!into) {
        return QString(RunText::SecondsDecimals).arg(field, value);
    }
    return std::nullopt;
}

// The current to stay below and its time, kept apart until the whole file
// is read.
struct Pending {
    std::optional<double> belowAmps;
    std::optional<qint64> belowForMs;
};

// Reads a setting's value into the run; the reason when it cannot.
using SettingReader = std::function<std::optional<QString>(const QString&, Run&, Pending&)>;

struct Setting {
    QLatin1String key;
    SettingReader read;
};

SettingReader StopNumber(QLatin1String field, std::optional<double> StopConditions::*member) {
    return [field, member](const QString& value, Run& run, Pending&) {
        return ReadNumber(field, value, run.stop.*member);
    };
}

// The settings: each key's reader, in the order the writer writes them.
const QList<Setting>& Settings() {
    static const QList<Setting> settings{
        {RunField::Repeat,
         [](const QString& value, Run& run, Pending&) -> std::optional<QString> {
             if (value.isEmpty()) {
                 return QString(RunText::Missing).arg(RunField::Repeat);
             }
             const std::optional<double> count = DecimalFromText(value);
             if (!count || value.contains(u'.')) {
                 return QString(RunText::RepeatRange).arg(value).arg(kMaxRunRepeat);
             }
             run.repeat = static_cast<int>(std::min<double>(*count, kMaxRunRepeat + 1.0));
             return std::nullopt;
         }},
        {RunField::End,
         [](const QString& value, Run& run, Pending&) -> std::optional<QString> {
             if (value.compare(RunWord::OutputOff, Qt::CaseInsensitive) == 0) {
                 run.end = EndAction::OutputOff;
             } else if (value.compare(RunWord::KeepLastStep, Qt::CaseInsensitive) == 0) {
                 run.end = EndAction::KeepLastStep;
             } else {
                 return QString(RunText::NotAWord)
                     .arg(RunField::End, value,
                          QStringList{RunWord::OutputOff, RunWord::KeepLastStep}.join(", "));
             }
             return std::nullopt;
         }},
        {RunField::StopAfter,
         [](const QString& value, Run& run, Pending&) {
             return ReadSeconds(RunField::StopAfter, value, run.stop.afterMs);
         }},
        {RunField::CurrentBelow,
         [](const QString& value, Run&, Pending& pending) {
             return ReadNumber(RunField::CurrentBelow, value, pending.belowAmps);
         }},
        {RunField::CurrentBelowFor,
         [](const QString& value, Run&, Pending& pending) {
             return ReadSeconds(RunField::CurrentBelowFor, value, pending.belowForMs);
         }},
        {RunField::VoltageAbove, StopNumber(RunField::VoltageAbove, &StopConditions::voltageAbove)},
        {RunField::VoltageBelow, StopNumber(RunField::VoltageBelow, &StopConditions::voltageBelow)},
        {RunField::AmpHours, StopNumber(RunField::AmpHours, &StopConditions::ampHours)},
        {RunField::WattHours, StopNumber(RunField::WattHours, &StopConditions::wattHours)},
    };
    return settings;
}

std::optional<QString> ReadStep(const QStringList& cells, Run& run) {
    if (cells.size() > Header().size()) {
        return QString(RunText::ExtraCells).arg(Header().join(u','));
    }
    const auto cell = [&](qsizetype i) { return cells.value(i); };
    RunStep step;
    std::optional<double> voltage;
    std::optional<qint64> duration;
    if (auto reason = ReadNumber(RunField::Voltage, cell(0), voltage)) {
        return reason;
    }
    if (auto reason = ReadNumber(RunField::CurrentLimit, cell(1), step.currentLimit)) {
        return reason;
    }
    if (auto reason = ReadNumber(RunField::PowerLimit, cell(2), step.powerLimit)) {
        return reason;
    }
    if (auto reason = ReadSeconds(RunField::Duration, cell(3), duration)) {
        return reason;
    }
    if (!voltage) {
        return QString(RunText::Missing).arg(RunField::Voltage);
    }
    if (!duration) {
        return QString(RunText::Missing).arg(RunField::Duration);
    }
    const QString ramp = cell(4);
    if (ramp.compare(RunWord::Yes, Qt::CaseInsensitive) == 0) {
        step.ramp = true;
    } else if (!ramp.isEmpty() && ramp.compare(RunWord::No, Qt::CaseInsensitive) != 0) {
        return QString(RunText::NotAWord)
            .arg(RunField::Ramp, ramp, QStringList{RunWord::Yes, RunWord::No}.join(", "));
    }
    step.voltage = *voltage;
    step.durationMs = *duration;
    run.steps.append(step);
    return std::nullopt;
}

} // namespace

QString RunFileError::Text() const {
    return line > 0 ? QString(RunText::LineError).arg(line).arg(reason) : reason;
}

std::optional<double> DecimalFromText(QStringView text) {
    int digits = 0;
    int points = 0;
    for (QChar c : text) {
        if (c == u'.') {
            ++points;
        } else if (c >= u'0' && c <= u'9') {
            ++digits;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || points > 1) {
        return std::nullopt;
    }
    return text.toString().toDouble();
}

std::optional<qint64> MillisecondsFromText(QStringView text) {
    const std::optional<double> seconds = DecimalFromText(text);
    const qsizetype point = text.indexOf(u'.');
    if (!seconds || (point >= 0 && text.size() - point - 1 > RunDecimals::Seconds)) {
        return std::nullopt;
    }
    // Far beyond any bound: kept large without overflowing.
    return static_cast<qint64>(std::llround(std::min(*seconds, 1e12) * 1000));
}

RunFile ReadRunCsv(QStringView text) {
    RunFile file;
    const auto fail = [&](int line, const QString& reason) {
        file.error = RunFileError{line, reason};
        return file;
    };
    if (text.startsWith(u'\xfeff')) {
        text = text.mid(1);
    }
    Pending pending;
    int forLine = 0;
    QList<QLatin1String> seen;
    bool header = false;
    int number = 0;
    for (QStringView line : text.split(u'\n')) {
        ++number;
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        const std::optional<QStringList> cells = Cells(line);
        if (!cells) {
            return fail(number, QString(RunText::OpenQuote));
        }
        if (cells->isEmpty() || cells->first().startsWith(u'#')) {
            continue;
        }
        if (header) {
            if (file.run.steps.size() >= kMaxRunSteps) {
                return fail(number, QString(RunText::TooManySteps).arg(kMaxRunSteps));
            }
            if (auto reason = ReadStep(*cells, file.run)) {
                return fail(number, *reason);
            }
            continue;
        }
        if (cells->first().compare(RunField::Voltage, Qt::CaseInsensitive) == 0) {
            if (cells->join(u',').compare(Header().join(u','), Qt::CaseInsensitive) != 0) {
                return fail(number, QString(RunText::BadHeader).arg(Header().join(u',')));
            }
            header = true;
            continue;
        }
        const auto setting =
            std::find_if(Settings().begin(), Settings().end(), [&](const Setting& s) {
                return cells->first().compare(s.key, Qt::CaseInsensitive) == 0;
            });
        if (setting == Settings().end()) {
            return fail(number, QString(RunText::UnknownKey).arg(cells->first()));
        }
        if (seen.contains(setting->key)) {
            return fail(number, QString(RunText::DuplicateKey).arg(setting->key));
        }
        seen.append(setting->key);
        if (cells->size() > 2) {
            return fail(
                number,
                QString(RunText::ExtraCells).arg(QString(setting->key) + QStringLiteral(",value")));
        }
        if (auto reason = setting->read(cells->value(1), file.run, pending)) {
            return fail(number, *reason);
        }
        if (setting->key == RunField::CurrentBelowFor && pending.belowForMs) {
            forLine = number;
        }
    }
    if (!header) {
        return fail(0, QString(RunText::NoHeader).arg(Header().join(u',')));
    }
    if (file.run.steps.isEmpty()) {
        return fail(0, QString(RunText::NoSteps));
    }
    if (pending.belowForMs && !pending.belowAmps) {
        return fail(forLine, QString(RunText::ForWithoutCurrent));
    }
    if (pending.belowAmps) {
        file.run.stop.currentBelow =
            CurrentBelow{*pending.belowAmps, pending.belowForMs.value_or(0)};
    }
    return file;
}

QStringList RunStepHeader() {
    return {RunField::Voltage, RunField::CurrentLimit, RunField::PowerLimit, RunField::Duration,
            RunField::Ramp};
}

QList<std::pair<QLatin1String, QString>> RunSettingCells(const Run& run) {
    const StopConditions& stop = run.stop;
    const auto number = [](std::optional<double> value, int decimals) {
        return value ? DecimalText(*value, decimals) : QString();
    };
    const auto seconds = [](std::optional<qint64> ms) { return ms ? SecondsText(*ms) : QString(); };
    const std::optional<CurrentBelow>& below = stop.currentBelow;
    return {
        {RunField::Repeat, QString::number(run.repeat)},
        {RunField::End, run.end == EndAction::OutputOff ? QString(RunWord::OutputOff)
                                                        : QString(RunWord::KeepLastStep)},
        {RunField::StopAfter, seconds(stop.afterMs)},
        {RunField::CurrentBelow,
         number(below ? std::optional(below->amps) : std::nullopt, RunDecimals::MeasuredCurrent)},
        {RunField::CurrentBelowFor, seconds(below ? std::optional(below->forMs) : std::nullopt)},
        {RunField::VoltageAbove, number(stop.voltageAbove, RunDecimals::MeasuredVoltage)},
        {RunField::VoltageBelow, number(stop.voltageBelow, RunDecimals::MeasuredVoltage)},
        {RunField::AmpHours, number(stop.ampHours, RunDecimals::Counter)},
        {RunField::WattHours, number(stop.wattHours, RunDecimals::Counter)},
    };
}

QStringList RunStepCells(const RunStep& step) {
    return {
        FormatWithPattern(step.voltage, kVoltagePattern),
        step.currentLimit ? FormatWithPattern(*step.currentLimit, kCurrentPattern) : QString(),
        step.powerLimit ? FormatWithPattern(*step.powerLimit, kPowerPattern) : QString(),
        SecondsText(step.durationMs),
        step.ramp ? QString(RunWord::Yes) : QString(RunWord::No),
    };
}

QString CsvLineOf(const QStringList& cells) {
    QStringList quoted;
    for (const QString& cell : cells) {
        const bool quote = cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\n') ||
                           cell.startsWith(u'#') || cell != cell.trimmed();
        quoted.append(quote ? u'"' + QString(cell).replace(u'"', QStringLiteral("\"\"")) + u'"'
                            : cell);
    }
    return quoted.join(u',');
}

QString RunCsv(const Run& run) {
    QString text = QStringLiteral("# ZRM run\n");
    for (const auto& [key, value] : RunSettingCells(run)) {
        text += key + u',' + value + u'\n';
    }
    text += Header().join(u',') + u'\n';
    for (const RunStep& step : run.steps) {
        text += RunStepCells(step).join(u',') + u'\n';
    }
    return text;
}

RunFile LoadRunFile(const QString& path) {
    RunFile file;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        file.error = RunFileError{0, in.errorString()};
        return file;
    }
    const QByteArray bytes = in.read(kMaxRunFileBytes + 1);
    if (bytes.size() > kMaxRunFileBytes) {
        file.error = RunFileError{0, QString(RunText::FileTooLarge).arg(kMaxRunFileBytes)};
        return file;
    }
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(bytes);
    if (decode.hasError()) {
        file.error = RunFileError{0, QString(RunText::NotUtf8)};
        return file;
    }
    return ReadRunCsv(text);
}

bool SaveRunFile(const QString& path, const Run& run, QString& error) {
    QSaveFile out(path);
    const QByteArray bytes = RunCsv(run).toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        error = out.errorString();
        return false;
    }
    return true;
}
