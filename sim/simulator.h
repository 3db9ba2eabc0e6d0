// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's event loop: commands in over the pseudo-terminal, replies out at the
// line speed with the faults asked for, control lines in on standard input.
#pragma once

#include "options.h"
#include "pseudo_terminal.h"
#include "supply.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>
#include <random>
#include <string>

namespace zrm_sim {

class Simulator {
public:
    explicit Simulator(const Options& options);
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator();

    // Runs until "quit", end of input (with --exit-on-eof) or a byte on stop_fd (written by
    // the signal handler). Returns the exit status.
    int Run(int stop_fd);

private:
    using Clock = std::chrono::steady_clock;

    struct PendingByte {
        char byte;
        Clock::time_point due;
    };

    bool Plug();
    void Unplug();
    int PollTimeoutMs(Clock::time_point now) const;

    void ReadCommands();
    void HandleCommand(const std::string& command);
    bool ShouldAnswer(const std::string& command) const;
    void QueueReply(Reply reply);
    void Transmit(Clock::time_point now);
    void LogCommand(const std::string& command);

    void ReadControl();
    void HandleControl(const std::string& line);
    bool HandleSwitch(const std::string& name, bool on);
    void PrintLine(const std::string& line);
    // Brings the supply's clock to now.
    void AdvanceSupply();

    Options options_;
    Faults faults_;
    Supply supply_;
    PseudoTerminal pty_;
    std::optional<SymLink> link_;
    std::FILE* log_ = nullptr;
    Clock::time_point start_;
    std::optional<Clock::time_point> unplug_at_;
    Clock::duration char_time_;

    std::string command_buffer_;
    std::string control_buffer_;
    std::deque<PendingByte> transmit_queue_;
    Clock::time_point line_free_;
    long long replies_ = 0;
    std::mt19937_64 random_;
    bool stdin_open_ = true;
    bool quit_ = false;
};

} // namespace zrm_sim
