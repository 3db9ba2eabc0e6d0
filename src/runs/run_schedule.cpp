// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_schedule.h"

#include <algorithm>
#include <cmath>

namespace {

QString VoltageText(double volts) {
    return FormatWithPattern(volts, DisplayPattern::VoltageSet);
}

// The voltage that the step before this one left: the last step's for the
// first step of a later pass; nothing before the run's first step.
std::optional<double> VoltageBefore(const Run& run, int pass, int step) {
    if (step > 0) {
        return run.steps[step - 1].voltage;
    }
    if (pass > 0) {
        return run.steps.last().voltage;
    }
    return std::nullopt;
}

} // namespace

qint64 PassMs(const Run& run) {
    qint64 total = 0;
    for (const RunStep& step : run.steps) {
        total += step.durationMs;
    }
    return total;
}

qint64 StepStartMs(const Run& run, int pass, int step) {
    qint64 before = 0;
    for (int i = 0; i < step; ++i) {
        before += run.steps[i].durationMs;
    }
    return pass * PassMs(run) + before;
}

RunEnd EndOf(const Run& run) {
    const qint64 completed = run.repeat * PassMs(run);
    if (run.stop.afterMs && *run.stop.afterMs < completed) {
        return {*run.stop.afterMs, StopReason::ElapsedTime};
    }
    return {completed, StopReason::Completed};
}

QList<RunCommand> StepCommands(const Run& run, const SchedulePlan& plan, int pass, int step) {
    const RunStep& s = run.steps[step];
    const qint64 start = StepStartMs(run, pass, step);
    const qint64 end = EndOf(run).ms;
    QList<RunCommand> commands;
    if (start > end) {
        return commands;
    }
    const auto add = [&](qint64 ms, RunAction action, double value) {
        commands.append({ms, pass, step, action, value});
    };

    if (s.currentLimit && s.powerLimit && *s.currentLimit * plan.voltageLimit <= *s.powerLimit) {
        add(start, RunAction::SetPowerLimit, *s.powerLimit);
        add(start, RunAction::SetCurrentLimit, *s.currentLimit);
    } else {
        if (s.currentLimit) {
            add(start, RunAction::SetCurrentLimit, *s.currentLimit);
        }
        if (s.powerLimit) {
            add(start, RunAction::SetPowerLimit, *s.powerLimit);
        }
    }

    const bool first = pass == 0 && step == 0;
    if (!s.ramp) {
        add(start, RunAction::SetVoltage, s.voltage);
    } else {
        const double from = VoltageBefore(run, pass, step).value_or(plan.startVoltage);
        // At most one set-point an interval and one per hundredth of a volt.
        const qint64 hundredths = std::llround(std::abs(s.voltage - from) * 100);
        const qint64 points =
            std::max<qint64>(1, std::min(s.durationMs / plan.rampIntervalMs, hundredths));
        // The run's first ramp also sets where it starts from; any other
        // starts where the step before ended.
        QString sent = first ? QString() : VoltageText(from);
        for (qint64 k = 0; k <= points; ++k) {
            const qint64 ms = start + s.durationMs * k / points;
            if (ms > end) {
                break;
            }
            const double volts = k == points
                                     ? s.voltage
                                     : from + (s.voltage - from) * static_cast<double>(k) / points;
            const QString text = VoltageText(volts);
            if (text != sent) {
                add(ms, RunAction::SetVoltage, volts);
                sent = text;
            }
        }
    }
    if (first) {
        // After the values set at the start, before the rest of a ramp.
        const auto later = std::find_if(commands.begin(), commands.end(),
                                        [start](const RunCommand& c) { return c.ms > start; });
        commands.insert(later, RunCommand{start, pass, step, RunAction::OutputOn, 0});
    }
    return commands;
}

RunPosition PositionAt(const Run& run, qint64 ms) {
    const qint64 passMs = PassMs(run);
    RunPosition position{run.repeat - 1, static_cast<int>(run.steps.size()) - 1};
    if (passMs <= 0 || ms >= run.repeat * passMs) {
        return position;
    }
    position.pass = static_cast<int>(std::max<qint64>(ms, 0) / passMs);
    qint64 into = ms - position.pass * passMs;
    position.step = 0;
    while (into >= run.steps[position.step].durationMs) {
        into -= run.steps[position.step++].durationMs;
    }
    return position;
}

QList<RunCommand> EndCommands(const Run& run) {
    const qint64 end = EndOf(run).ms;
    const RunPosition at = PositionAt(run, end);
    QList<RunCommand> commands;
    if (run.end == EndAction::OutputOff) {
        commands.append({end, at.pass, at.step, RunAction::OutputOff, 0});
    }
    commands.append({end, at.pass, at.step, RunAction::End, 0});
    return commands;
}

QList<RunCommand> Schedule(const Run& run, const SchedulePlan& plan) {
    QList<RunCommand> commands;
    const qint64 end = EndOf(run).ms;
    for (int pass = 0; pass < run.repeat; ++pass) {
        for (int step = 0; step < run.steps.size(); ++step) {
            if (StepStartMs(run, pass, step) > end) {
                return commands + EndCommands(run);
            }
            commands += StepCommands(run, plan, pass, step);
        }
    }
    return commands + EndCommands(run);
}
