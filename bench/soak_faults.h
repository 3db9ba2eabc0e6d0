// SPDX-License-Identifier: GPL-3.0-or-later
// The soak's fault schedule: the simulated supply as a child process, and the
// faults it goes through one at a time with quiet spells between them. The
// first round brings every kind of fault once, in order; after it they come
// at random.
#pragma once

#include "sim_process.h"

#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <random>

// The soak's random choices, shared by the user and the fault schedule so
// that one seed repeats a run's choices.
class SoakRandom {
public:
    explicit SoakRandom(quint32 seed) : engine_(seed) {}
    int Random(int low, int high) { return std::uniform_int_distribution(low, high)(engine_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(engine_); }
    std::mt19937& engine() { return engine_; }

private:
    std::mt19937 engine_;
};

enum class Fault {
    Silent,
    Late,
    Garbage,
    Unplug,
    OverTemp,
    KeysLocked,
    Load,
    PowerCycle,
    TruncateStatus,
    BadDigit,
    Drop,
    SilentAfter,
};
constexpr int kFaultKinds = 12;

const char* FaultName(Fault fault);

class FaultSchedule {
public:
    // The supply's port appears at `link`. `busy` is told while the schedule
    // itself blocks the event loop (starting and ending the simulator).
    FaultSchedule(SoakRandom& random, QString link, std::function<void(bool)> busy);

    // Starts the supply with the settings of a "state" answer ("vset" ->
    // "12.00", "output" -> "1", ...) and the simulator's fault options;
    // false if it did not start.
    bool StartSupply(const QMap<QString, QString>& settings, const QStringList& faultArgs);
    // Ends the fault under way or begins the next one, when its time has come.
    void Step();
    // Leaves the supply healthy, unlocked and cool, on its usual load.
    void ClearAll();
    // Every kind of fault has come once, and none is under way.
    bool FirstRoundOver() const { return firstRoundLeft_ == 0 && !fault_; }
    // Adds the status queries that the current simulator has logged.
    void CountSupplyLog();

    // Where the supply's port is, whichever simulator serves it.
    const QString& Link() const { return link_; }
    SimProcess& sim() { return *sim_; }
    int Count(Fault fault) const { return counts_[static_cast<int>(fault)]; }
    int SupplyStarts() const { return supplyStarts_; }
    int SupplyFailures() const { return supplyFailures_; }
    int StatusQueries() const { return statusQueries_; }

private:
    void RestartSupply(const QStringList& faultArgs);
    void BeginFault(Fault fault);
    void EndFault();

    SoakRandom& random_;
    QString link_;
    std::function<void(bool)> busy_;
    std::unique_ptr<SimProcess> sim_;
    QStringList simFaultArgs_; // the options the running simulator was started with
    std::optional<Fault> fault_;
    bool unplugged_ = false;
    int firstRoundLeft_ = kFaultKinds;
    QElapsedTimer faultClock_;
    qint64 faultStepMs_ = 0; // how long the current fault or quiet spell lasts
    int counts_[kFaultKinds] = {};
    int supplyStarts_ = 0;
    int supplyFailures_ = 0;
    int statusQueries_ = 0;
};
