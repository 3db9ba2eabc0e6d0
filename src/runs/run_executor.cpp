// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_executor.h"

#include "run_texts.h"
#include "run_trace.h"

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcRun, "zrm.run", QtWarningMsg)

namespace {

// An alarm further off is armed in parts: a timer takes an int of milliseconds.
constexpr qint64 kLongestAlarmMs = 60'000;

RunOutcome OutcomeOf(StopReason reason) {
    switch (reason) {
    case StopReason::Completed:
        return RunOutcome::Completed;
    case StopReason::ElapsedTime:
        return RunOutcome::ElapsedTime;
    case StopReason::CurrentBelow:
        return RunOutcome::CurrentBelow;
    case StopReason::VoltageAbove:
        return RunOutcome::VoltageAbove;
    case StopReason::VoltageBelow:
        return RunOutcome::VoltageBelow;
    case StopReason::AmpHours:
        return RunOutcome::AmpHours;
    case StopReason::WattHours:
        return RunOutcome::WattHours;
    }
    return RunOutcome::Completed;
}

// The set-point in the hundredths of a volt that the supply takes; a ramp's
// points lie between them.
double SupplyVolts(double volts) {
    return std::round(volts * 100) / 100;
}

const char* ActionName(RunAction action) {
    switch (action) {
    case RunAction::SetCurrentLimit:
        return "current limit";
    case RunAction::SetPowerLimit:
        return "power limit";
    case RunAction::SetVoltage:
        return "voltage";
    case RunAction::OutputOn:
        return "output on";
    case RunAction::OutputOff:
        return "output off";
    case RunAction::End:
        return "end";
    }
    return "";
}

RunPosition Following(const Run& run, RunPosition at) {
    if (++at.step >= run.steps.size()) {
        at.step = 0;
        ++at.pass;
    }
    return at;
}

} // namespace

bool EndActionFollows(RunOutcome outcome) {
    return outcome != RunOutcome::LinkLost && outcome != RunOutcome::OutputKey;
}

RunExecutor::RunExecutor(RunSupply& supply, QObject* parent) : QObject(parent), supply_(supply) {
    alarm_.setSingleShot(true);
    alarm_.setTimerType(Qt::PreciseTimer);
    connect(&alarm_, &QTimer::timeout, this, &RunExecutor::Advance);
}

RunExecutor::~RunExecutor() = default;

std::optional<QString> RunExecutor::Start(const Run& run) {
    if (Active()) {
        return QString(RunText::AlreadyActive);
    }
    if (const QString refusal = supply_.StartRefusal(); !refusal.isEmpty()) {
        return refusal;
    }
    const RunLimits limits = supply_.Limits();
    if (const std::optional<RunError> error = ValidateRun(run, limits)) {
        return error->Text();
    }
    run_ = run;
    plan_ = SchedulePlan{supply_.OutputOn() ? supply_.VoltageSet() : 0.0, limits.voltageLimit};
    end_ = EndOf(run_);
    stop_.emplace(run_.stop);
    loaded_ = {0, -1};
    reached_ = {};
    commands_.clear();
    next_ = 0;
    ending_ = false;
    outcome_.reset();
    pausedMs_ = 0;
    guardedStepMs_ = -1;
    lastSent_ = {-1, -1};
    waiting_ = false;
    state_ = RunState::Running;
    clock_.start();
    qCDebug(lcRun) << "start:" << run_.steps.size() << "steps," << run_.repeat << "passes,"
                   << end_.ms << "ms";
    emit Changed();
    Advance();
    return std::nullopt;
}

std::optional<QString> RunExecutor::Check(const Run& run) const {
    if (!supply_.StartRefusal().isEmpty()) {
        return std::nullopt;
    }
    if (const std::optional<RunError> error = ValidateRun(run, supply_.Limits())) {
        return error->Text();
    }
    return std::nullopt;
}

void RunExecutor::Pause() {
    if (state_ != RunState::Running) {
        return;
    }
    pausedAtMs_ = RunMs();
    state_ = RunState::Paused;
    alarm_.stop();
    emit Changed();
}

void RunExecutor::Resume() {
    if (state_ != RunState::Paused) {
        return;
    }
    pausedMs_ = clock_.elapsed() - pausedAtMs_;
    state_ = RunState::Running;
    emit Changed();
    Advance();
}

void RunExecutor::Stop() {
    Finish(RunOutcome::Stopped);
}

bool RunExecutor::Active() const {
    return state_ == RunState::Running || state_ == RunState::Paused || state_ == RunState::Ending;
}

RunProgress RunExecutor::Progress() const {
    RunProgress progress;
    progress.state = state_;
    if (state_ == RunState::Idle) {
        return progress;
    }
    progress.passes = run_.repeat;
    progress.steps = static_cast<int>(run_.steps.size());
    progress.elapsedMs = RunMs();
    progress.position = state_ == RunState::Ended ? reached_ : PositionAt(run_, progress.elapsedMs);
    progress.leftMs =
        state_ == RunState::Ended ? 0 : std::max<qint64>(0, end_.ms - progress.elapsedMs);
    progress.outcome = outcome_;
    progress.delivered = stop_ ? stop_->Totals() : EnergyTotals{};
    return progress;
}

void RunExecutor::TakeReading(const MeterReading& reading) {
    if (state_ != RunState::Running && state_ != RunState::Paused) {
        return;
    }
    if (const std::optional<StopReason> reason = stop_->Take(reading)) {
        Finish(OutcomeOf(*reason));
    }
}

void RunExecutor::MissReading() {
    if (state_ == RunState::Running || state_ == RunState::Paused) {
        stop_->Gap();
    }
}

void RunExecutor::Continue() {
    if (waiting_) {
        Advance();
    }
}

void RunExecutor::LinkLost() {
    if (Active()) {
        End(RunOutcome::LinkLost);
    }
}

void RunExecutor::OutputKey() {
    if (Active()) {
        End(RunOutcome::OutputKey);
    }
}

qint64 RunExecutor::RunMs() const {
    switch (state_) {
    case RunState::Idle:
        return 0;
    case RunState::Paused:
        return pausedAtMs_;
    case RunState::Ended:
        return endedAtMs_;
    case RunState::Running:
    case RunState::Ending:
        break;
    }
    return clock_.elapsed() - pausedMs_;
}

void RunExecutor::Advance() {
    // Inside a command of ours (its pause or reply wait runs events) the loop
    // below takes what is due once the command is done.
    if (executing_ || (state_ != RunState::Running && state_ != RunState::Ending)) {
        return;
    }
    if (!supply_.Idle()) {
        waiting_ = true;
        alarm_.stop();
        return;
    }
    waiting_ = false;
    executing_ = true;
    while (state_ == RunState::Running || state_ == RunState::Ending) {
        if (const std::optional<qint64> stepMs = UpcomingStepMs();
            stepMs && *stepMs != guardedStepMs_ && RunMs() >= *stepMs - kPollLeadMs) {
            KeepPollAway(*stepMs);
        }
        const RunCommand* command = NextCommand();
        if (command == nullptr || command->ms > RunMs()) {
            break;
        }
        const RunCommand due = *command;
        ++next_;
        // A ramp's set-point that a later one due now replaces is not sent:
        // after a wait the ramp goes on from where it stands.
        if (due.action == RunAction::SetVoltage && next_ < commands_.size() &&
            commands_[next_].action == RunAction::SetVoltage && commands_[next_].ms <= RunMs()) {
            continue;
        }
        Execute(due);
        if (!supply_.Idle()) {
            waiting_ = true;
            break;
        }
    }
    executing_ = false;
    Arm();
}

void RunExecutor::Execute(const RunCommand& command) {
    const qint64 at = RunMs();
    qCDebug(lcRun).noquote() << QStringLiteral("%1 ms (due %2) pass %3 step %4: %5 %6")
                                    .arg(at)
                                    .arg(command.ms)
                                    .arg(command.pass + 1)
                                    .arg(command.step + 1)
                                    .arg(QLatin1String(ActionName(command.action)))
                                    .arg(command.value);
    switch (command.action) {
    case RunAction::SetCurrentLimit:
        supply_.SetCurrentLimit(command.value);
        break;
    case RunAction::SetPowerLimit:
        supply_.SetPowerLimit(command.value);
        break;
    case RunAction::SetVoltage:
        supply_.SetVoltage(SupplyVolts(command.value));
        break;
    case RunAction::OutputOn:
        if (!supply_.OutputOn()) {
            supply_.ToggleOutput();
        }
        break;
    case RunAction::OutputOff:
        if (supply_.OutputOn()) {
            supply_.ToggleOutput();
        }
        break;
    case RunAction::End:
        End(endOutcome_);
        return;
    }
    emit CommandSent(command, at);
    if (command.pass != lastSent_.pass || command.step != lastSent_.step) {
        lastSent_ = {command.pass, command.step};
        emit Changed();
    }
}

const RunCommand* RunExecutor::NextCommand() {
    while (next_ >= commands_.size()) {
        if (ending_) {
            return nullptr;
        }
        const RunPosition following = Following(run_, loaded_);
        next_ = 0;
        if (following.pass >= run_.repeat ||
            StepStartMs(run_, following.pass, following.step) > end_.ms) {
            commands_ = EndCommands(run_);
            ending_ = true;
            endOutcome_ = OutcomeOf(end_.reason);
            continue;
        }
        loaded_ = following;
        commands_ = StepCommands(run_, plan_, loaded_.pass, loaded_.step);
    }
    return &commands_[next_];
}

std::optional<qint64> RunExecutor::UpcomingStepMs() const {
    if (ending_ || state_ != RunState::Running) {
        return std::nullopt;
    }
    if (next_ == 0 && !commands_.isEmpty()) {
        return commands_.first().ms;
    }
    const RunPosition following = Following(run_, loaded_);
    if (following.pass >= run_.repeat) {
        return std::nullopt;
    }
    const qint64 start = StepStartMs(run_, following.pass, following.step);
    if (start > end_.ms) {
        return std::nullopt;
    }
    return start;
}

void RunExecutor::KeepPollAway(qint64 stepMs) {
    guardedStepMs_ = stepMs;
    const std::optional<qint64> poll = supply_.NextPollInMs();
    if (!poll) {
        return;
    }
    const qint64 untilStep = stepMs - RunMs();
    if (*poll >= untilStep - kPollLeadMs && *poll <= untilStep + kPollAfterStepMs) {
        supply_.MovePoll(std::max<qint64>(0, untilStep) + kPollAfterStepMs);
    }
}

void RunExecutor::Arm() {
    alarm_.stop();
    if (waiting_ || (state_ != RunState::Running && state_ != RunState::Ending)) {
        return;
    }
    const RunCommand* command = NextCommand();
    if (command == nullptr) {
        return;
    }
    qint64 due = command->ms;
    if (const std::optional<qint64> stepMs = UpcomingStepMs();
        stepMs && *stepMs != guardedStepMs_) {
        due = std::min(due, *stepMs - kPollLeadMs);
    }
    alarm_.start(static_cast<int>(std::clamp<qint64>(due - RunMs(), 0, kLongestAlarmMs)));
}

void RunExecutor::Finish(RunOutcome outcome) {
    if (state_ != RunState::Running && state_ != RunState::Paused) {
        return;
    }
    if (state_ == RunState::Paused) {
        pausedMs_ = clock_.elapsed() - pausedAtMs_;
    }
    reached_ = PositionAt(run_, RunMs());
    commands_.clear();
    if (EndActionFollows(outcome) && run_.end == EndAction::OutputOff) {
        commands_.append({0, reached_.pass, reached_.step, RunAction::OutputOff, 0});
    }
    commands_.append({0, reached_.pass, reached_.step, RunAction::End, 0});
    next_ = 0;
    ending_ = true;
    endOutcome_ = outcome;
    state_ = RunState::Ending;
    emit Changed();
    Advance();
}

void RunExecutor::End(RunOutcome outcome) {
    if (state_ == RunState::Running || state_ == RunState::Paused) {
        reached_ = PositionAt(run_, RunMs());
    }
    endedAtMs_ = RunMs();
    alarm_.stop();
    waiting_ = false;
    state_ = RunState::Ended;
    outcome_ = outcome;
    qCDebug(lcRun) << "end at" << endedAtMs_ << "ms, pass" << reached_.pass + 1 << "step"
                   << reached_.step + 1 << "outcome" << static_cast<int>(outcome);
    emit Changed();
    emit Ended(outcome);
}
