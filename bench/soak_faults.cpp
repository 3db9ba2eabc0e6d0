// SPDX-License-Identifier: GPL-3.0-or-later
#include "soak_faults.h"

#include <cstdio>
#include <utility>

const char* FaultName(Fault fault) {
    static const char* const names[kFaultKinds] = {
        "silent",           "late replies", "garbage",          "unplug/replug",
        "over-temperature", "keys locked",  "load change",      "power cycle",
        "truncated status", "bad digit",    "dropped commands", "silent after N",
    };
    return names[static_cast<int>(fault)];
}

FaultSchedule::FaultSchedule(SoakRandom& random, QString link, std::function<void(bool)> busy)
    : random_(random), link_(std::move(link)), busy_(std::move(busy)) {
    faultClock_.start();
}

bool FaultSchedule::StartSupply(const QMap<QString, QString>& settings,
                                const QStringList& faultArgs) {
    QStringList args{"--link", link_};
    const auto value = [&](const char* key, const char* option) {
        if (settings.contains(key)) {
            args << option << settings.value(key);
        }
    };
    value("model", "--model");
    value("vset", "--vset");
    value("vlimit", "--vlimit");
    value("ilimit", "--ilimit");
    value("plimit", "--plimit");
    value("plus", "--plus");
    value("minus", "--minus");
    value("load", "--load-ohms");
    const auto flag = [&](const char* key, const char* option) {
        if (settings.value(key) == u"1") {
            args << option;
        }
    };
    flag("output", "--output-on");
    flag("fine", "--fine");
    flag("locked", "--locked");
    flag("overtemp", "--overtemp");

    busy_(true);
    sim_ = std::make_unique<SimProcess>();
    const bool started = !sim_->Start(args + faultArgs).isEmpty();
    busy_(false);
    simFaultArgs_ = faultArgs;
    unplugged_ = false;
    ++supplyStarts_;
    if (!started) {
        ++supplyFailures_;
        std::fprintf(stderr, "zrm-sim did not start\n");
    }
    return started;
}

void FaultSchedule::CountSupplyLog() {
    statusQueries_ += static_cast<int>(sim_->LoggedCommands().count(QStringLiteral("L")));
}

// Ends the simulator and starts it again with the same settings, as a supply
// that is switched off and on (its port goes away meanwhile).
void FaultSchedule::RestartSupply(const QStringList& faultArgs) {
    const QMap<QString, QString> settings = sim_->State();
    CountSupplyLog();
    busy_(true);
    if (!sim_->Stop()) {
        ++supplyFailures_;
        std::fprintf(stderr, "zrm-sim ended abnormally\n");
    }
    busy_(false);
    StartSupply(settings, faultArgs);
}

void FaultSchedule::BeginFault(Fault fault) {
    fault_ = fault;
    ++counts_[static_cast<int>(fault)];
    switch (fault) {
    case Fault::Silent:
        sim_->Control("silent 1");
        break;
    case Fault::Late:
        // Beyond the 1 s reply timeout too: a late reply then answers the
        // next question.
        sim_->Control(QStringLiteral("late %1").arg(random_.Random(100, 2500)));
        break;
    case Fault::Garbage:
        sim_->Control("garbage 1");
        break;
    case Fault::Unplug:
        sim_->Control("unplug");
        unplugged_ = true;
        break;
    case Fault::OverTemp:
        sim_->Control("overtemp 1");
        break;
    case Fault::KeysLocked:
        sim_->Control("locked 1");
        break;
    case Fault::Load: {
        static const char* const loads[] = {"0.5", "2", "50", "1000"};
        sim_->Control(QStringLiteral("load %1").arg(loads[random_.Random(0, 3)]));
        break;
    }
    case Fault::PowerCycle:
        RestartSupply({});
        break;
    case Fault::TruncateStatus:
        RestartSupply({"--truncate-status", QString::number(random_.Random(0, 40))});
        break;
    case Fault::BadDigit:
        RestartSupply({"--bad-digit", QString::number(random_.Random(1, 36))});
        break;
    case Fault::Drop: {
        static const char* const commands[] = {"L", "B", "D", "U", "I"};
        QStringList dropped;
        for (const char* command : commands) {
            if (random_.Chance(0.4)) {
                dropped << command;
            }
        }
        RestartSupply({"--drop", dropped.isEmpty() ? QStringLiteral("U") : dropped.join(',')});
        break;
    }
    case Fault::SilentAfter:
        RestartSupply({"--silent-after", QString::number(random_.Random(0, 6))});
        break;
    }
}

void FaultSchedule::EndFault() {
    if (!fault_) {
        return;
    }
    switch (*fault_) {
    case Fault::Silent:
    case Fault::SilentAfter:
        sim_->Control("silent 0");
        break;
    case Fault::Late:
        sim_->Control("late 0");
        break;
    case Fault::Garbage:
        sim_->Control("garbage 0");
        break;
    case Fault::Unplug:
        busy_(true);
        sim_->Replug();
        busy_(false);
        unplugged_ = false;
        break;
    case Fault::OverTemp:
        sim_->Control("overtemp 0");
        break;
    case Fault::KeysLocked:
        sim_->Control("locked 0");
        break;
    case Fault::Load:
        sim_->Control("load 10");
        break;
    case Fault::PowerCycle:
        break;
    case Fault::TruncateStatus:
    case Fault::BadDigit:
    case Fault::Drop:
        RestartSupply({});
        break;
    }
    fault_.reset();
}

void FaultSchedule::ClearAll() {
    EndFault();
    for (const char* line :
         {"silent 0", "late 0", "garbage 0", "overtemp 0", "locked 0", "load 10"}) {
        sim_->Control(line);
    }
    if (unplugged_) {
        sim_->Replug();
        unplugged_ = false;
    }
    if (!simFaultArgs_.isEmpty()) {
        RestartSupply({});
    }
}

void FaultSchedule::Step() {
    if (faultClock_.elapsed() < faultStepMs_) {
        return;
    }
    faultClock_.restart();
    if (fault_) {
        EndFault();
        faultStepMs_ = random_.Random(1000, 4000);
        return;
    }
    const int kind =
        firstRoundLeft_ > 0 ? kFaultKinds - firstRoundLeft_-- : random_.Random(0, kFaultKinds - 1);
    BeginFault(static_cast<Fault>(kind));
    faultStepMs_ = random_.Random(2000, 6000);
}
