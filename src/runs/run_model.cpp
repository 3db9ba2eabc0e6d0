// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_model.h"

#include "run_texts.h"

#include <algorithm>
#include <cmath>

namespace {

QString Number(double value) {
    return DecimalText(value, 10);
}

// A bound in single precision, with the digits it was written with.
QString Bound(float value) {
    return QString::number(static_cast<double>(value), 'g', 7);
}

QString Seconds(qint64 ms) {
    return Number(static_cast<double>(ms) / 1000.0);
}

// Builds the first error of a run, field by field.
class Checker {
public:
    explicit Checker(int step) : step_(step) {}

    std::optional<RunError> error;

    void Fail(QLatin1String field, const QString& reason) {
        if (!error) {
            error = RunError{step_, QString(field), reason};
        }
    }

    // A value from 0 with at most decimals decimals; false when it failed.
    bool Plain(QLatin1String field, double value, int decimals) {
        if (!std::isfinite(value) || value < 0) {
            Fail(field, QString(RunText::Negative).arg(Number(value)));
        } else if (!HasAtMostDecimals(value, decimals)) {
            Fail(field, QString(RunText::Decimals).arg(Number(value)).arg(decimals));
        }
        return !error;
    }

    bool Positive(QLatin1String field, double value, int decimals) {
        if (Plain(field, value, decimals) && value <= 0) {
            Fail(field, QString(RunText::NotPositive).arg(Number(value)));
        }
        return !error;
    }

    // Bounds in single precision, as the panel compares its values.
    void AtMost(QLatin1String field, double value, float bound, QLatin1String reason) {
        if (static_cast<float>(value) > bound) {
            Fail(field, QString(reason).arg(Number(value), Bound(bound)));
        }
    }

    void AtLeast(QLatin1String field, double value, float bound, QLatin1String reason) {
        if (static_cast<float>(value) < bound) {
            Fail(field, QString(reason).arg(Number(value), Bound(bound)));
        }
    }

private:
    int step_;
};

std::optional<RunError> CheckStep(const RunStep& step, int number, const RunLimits& limits) {
    Checker check(number);
    if (check.Plain(RunField::Voltage, step.voltage, RunDecimals::Voltage)) {
        check.AtMost(RunField::Voltage, step.voltage,
                     std::min(limits.voltageLimit, limits.maxVoltage), RunText::AboveVoltageLimit);
    }
    if (step.currentLimit &&
        check.Plain(RunField::CurrentLimit, *step.currentLimit, RunDecimals::CurrentLimit)) {
        check.AtLeast(RunField::CurrentLimit, *step.currentLimit, kLeastCurrentLimit,
                      RunText::BelowLeastCurrent);
        check.AtMost(RunField::CurrentLimit, *step.currentLimit, limits.maxCurrent,
                     RunText::AboveModelCurrent);
    }
    if (step.powerLimit &&
        check.Plain(RunField::PowerLimit, *step.powerLimit, RunDecimals::PowerLimit)) {
        check.AtLeast(RunField::PowerLimit, *step.powerLimit, kLeastPowerLimit,
                      RunText::BelowLeastPower);
        check.AtMost(RunField::PowerLimit, *step.powerLimit, limits.maxPower,
                     RunText::AboveModelPower);
        // The bound of the P entry box: the model's current at the voltage limit.
        const float atLimit = static_cast<float>(
            IntegerPart(static_cast<double>(limits.maxCurrent * limits.voltageLimit)));
        check.AtMost(RunField::PowerLimit, *step.powerLimit, atLimit, RunText::AbovePowerAtLimit);
    }
    if (step.durationMs <= 0) {
        check.Fail(RunField::Duration, QString(RunText::NotPositive).arg(Seconds(step.durationMs)));
    } else if (step.durationMs > kMaxStepMs) {
        check.Fail(RunField::Duration,
                   QString(RunText::TooLong).arg(Seconds(step.durationMs), Seconds(kMaxStepMs)));
    }
    return check.error;
}

std::optional<RunError> CheckStops(const StopConditions& stop, const RunLimits& limits) {
    Checker check(0);
    if (stop.afterMs && *stop.afterMs <= 0) {
        check.Fail(RunField::StopAfter, QString(RunText::NotPositive).arg(Seconds(*stop.afterMs)));
    }
    if (stop.currentBelow) {
        const CurrentBelow& below = *stop.currentBelow;
        if (check.Positive(RunField::CurrentBelow, below.amps, RunDecimals::MeasuredCurrent)) {
            check.AtMost(RunField::CurrentBelow, below.amps, limits.maxCurrent,
                         RunText::AboveModelCurrent);
        }
        if (below.forMs < 0) {
            check.Fail(RunField::CurrentBelowFor,
                       QString(RunText::Negative).arg(Seconds(below.forMs)));
        }
    }
    for (const auto& [field, volts] : {std::pair{RunField::VoltageAbove, stop.voltageAbove},
                                       std::pair{RunField::VoltageBelow, stop.voltageBelow}}) {
        if (volts && check.Positive(field, *volts, RunDecimals::MeasuredVoltage)) {
            check.AtMost(field, *volts, limits.maxVoltage, RunText::AboveModelVoltage);
        }
    }
    if (stop.voltageAbove && stop.voltageBelow && *stop.voltageBelow >= *stop.voltageAbove) {
        check.Fail(RunField::VoltageBelow,
                   QString(RunText::BelowNotUnderAbove)
                       .arg(Number(*stop.voltageBelow), Number(*stop.voltageAbove)));
    }
    for (const auto& [field, total] : {std::pair{RunField::AmpHours, stop.ampHours},
                                       std::pair{RunField::WattHours, stop.wattHours}}) {
        if (total && check.Positive(field, *total, RunDecimals::Counter) &&
            *total > kMaxCounterTarget) {
            check.Fail(field,
                       QString(RunText::TooLarge).arg(Number(*total), Number(kMaxCounterTarget)));
        }
    }
    return check.error;
}

} // namespace

RunLimits LimitsOf(const PanelState& state) {
    const int row = IsModelRow(state.ModelIndex) ? state.ModelIndex : 0;
    return RunLimits{state.ModelMaxVoltage[row], state.ModelMaxCurrent[row],
                     state.ModelMaxPower[row], state.VoltageLimit};
}

QString RunError::Text() const {
    return step > 0 ? QString(RunText::StepError).arg(step).arg(field, reason)
                    : QString(RunText::RunError).arg(field, reason);
}

std::optional<Run> RunFromLists(const QList<double>& volts, const QList<double>& amps,
                                const QList<double>& seconds, int repeat) {
    const qsizetype steps = volts.size();
    const auto fits = [steps](const QList<double>& list, bool mayBeEmpty) {
        return list.size() == steps || list.size() == 1 || (mayBeEmpty && list.isEmpty());
    };
    if (!fits(amps, true) || !fits(seconds, false)) {
        return std::nullopt;
    }
    const auto at = [](const QList<double>& list, qsizetype i) {
        return list.size() == 1 ? list.first() : list[i];
    };
    Run run;
    run.repeat = repeat;
    run.end = EndAction::OutputOff;
    for (qsizetype i = 0; i < steps; ++i) {
        RunStep step;
        step.voltage = volts[i];
        if (!amps.isEmpty()) {
            step.currentLimit = at(amps, i);
        }
        // Far beyond the longest step, and no overflow: refused as too long.
        const double ms = std::clamp(at(seconds, i), -1.0, 2.0 * kMaxStepMs / 1000) * 1000;
        step.durationMs = std::isfinite(ms) ? std::llround(ms) : kMaxStepMs + 1;
        run.steps.append(step);
    }
    return run;
}

std::optional<RunError> ValidateRun(const Run& run, const RunLimits& limits) {
    if (run.steps.isEmpty()) {
        return RunError{0, QString(RunField::Steps), QString(RunText::NoSteps)};
    }
    if (run.steps.size() > kMaxRunSteps) {
        return RunError{0, QString(RunField::Steps),
                        QString(RunText::TooManySteps).arg(kMaxRunSteps)};
    }
    for (qsizetype i = 0; i < run.steps.size(); ++i) {
        if (auto error = CheckStep(run.steps[i], static_cast<int>(i) + 1, limits)) {
            return error;
        }
    }
    if (run.repeat < 1 || run.repeat > kMaxRunRepeat) {
        return RunError{0, QString(RunField::Repeat),
                        QString(RunText::RepeatRange).arg(run.repeat).arg(kMaxRunRepeat)};
    }
    return CheckStops(run.stop, limits);
}

bool HasAtMostDecimals(double value, int decimals) {
    const double scaled = value * std::pow(10.0, decimals);
    return std::abs(scaled - std::round(scaled)) <= 1e-9 * std::max(1.0, std::abs(scaled));
}

QString DecimalText(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0')) {
            text.chop(1);
        }
        if (text.endsWith(u'.')) {
            text.chop(1);
        }
    }
    return text;
}
