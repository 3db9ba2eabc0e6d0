// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator.h"

#include "fixed_point.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace zrm_sim {

namespace {

constexpr char kLeadCharacter = 'S';
// 2400 baud with a start bit, 8 data bits and a stop bit: 240 characters a second.
constexpr std::chrono::microseconds kCharacterTime{1'000'000 / 240};
// A command line longer than this is noise; it is thrown away.
constexpr std::size_t kMaxCommandLength = 256;
constexpr int kMaxGarbageBytes = 3;

std::optional<bool> ParseSwitch(const std::string& text) {
    if (text == "0" || text == "1") {
        return text == "1";
    }
    return std::nullopt;
}

// Reads what is there without blocking; an empty result with `ended` set means end of input.
std::string ReadAvailable(int fd, bool& ended) {
    char buffer[512];
    const ssize_t count = read(fd, buffer, sizeof buffer);
    ended = count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR);
    return count > 0 ? std::string(buffer, static_cast<std::size_t>(count)) : std::string();
}

} // namespace

Simulator::Simulator(const Options& options)
    : options_(options), faults_(options.faults),
      supply_(*options.model, options.InitialSettings(), options.load_ohms), start_(Clock::now()),
      char_time_(options.pacing ? Clock::duration(kCharacterTime) : Clock::duration::zero()),
      line_free_(start_), random_(options.faults.seed) {
    if (options.battery) {
        supply_.SetBattery(*options.battery);
    }
    if (!options.link_path.empty()) {
        link_.emplace(options.link_path);
    }
}

Simulator::~Simulator() {
    Unplug();
    if (log_ != nullptr) {
        std::fclose(log_);
    }
}

int Simulator::Run(int stop_fd) {
    if (!options_.log_path.empty() &&
        (log_ = std::fopen(options_.log_path.c_str(), "w")) == nullptr) {
        std::fprintf(stderr, "zrm-sim: cannot write %s: %s\n", options_.log_path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    if (!Plug()) {
        return 1;
    }
    if (faults_.unplug_after_seconds) {
        unplug_at_ = start_ + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(*faults_.unplug_after_seconds));
    }
    while (!quit_) {
        pollfd fds[3] = {{stop_fd, POLLIN, 0},
                         {pty_.master(), POLLIN, 0},
                         {stdin_open_ ? STDIN_FILENO : -1, POLLIN, 0}};
        if (poll(fds, 3, PollTimeoutMs(Clock::now())) < 0 && errno != EINTR) {
            std::perror("zrm-sim: poll");
            return 1;
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (fds[1].revents != 0 && pty_.is_open()) {
            ReadCommands();
        }
        if (fds[2].revents != 0) {
            ReadControl();
        }
        const Clock::time_point now = Clock::now();
        if (unplug_at_ && now >= *unplug_at_) {
            std::fprintf(stderr, "zrm-sim: unplugged after %g s\n", *faults_.unplug_after_seconds);
            Unplug();
        }
        Transmit(now);
    }
    Unplug();
    return 0;
}

bool Simulator::Plug() {
    std::string error;
    if (!pty_.Open(error) || (link_ && !link_->PointAt(pty_.slave_path(), error))) {
        std::fprintf(stderr, "zrm-sim: %s\n", error.c_str());
        pty_.Close();
        return false;
    }
    PrintLine(pty_.slave_path());
    return true;
}

void Simulator::Unplug() {
    pty_.Close();
    if (link_) {
        link_->Remove();
    }
    unplug_at_.reset();
    transmit_queue_.clear();
    command_buffer_.clear();
}

// Sleeps until the next character is due on the line or the unplug time comes.
int Simulator::PollTimeoutMs(Clock::time_point now) const {
    std::optional<Clock::time_point> wake = unplug_at_;
    if (!transmit_queue_.empty()) {
        const Clock::time_point next =
            std::max(line_free_, transmit_queue_.front().due) + char_time_;
        wake = wake ? std::min(*wake, next) : next;
    }
    if (!wake) {
        return -1;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
}

void Simulator::ReadCommands() {
    bool ended = false;
    for (char c : ReadAvailable(pty_.master(), ended)) {
        if (c == '\r') {
            if (!command_buffer_.empty()) {
                HandleCommand(command_buffer_);
            }
            command_buffer_.clear();
        } else if (c != '\n') {
            command_buffer_ += c;
            if (command_buffer_.size() > kMaxCommandLength) {
                command_buffer_.clear();
            }
        }
    }
}

void Simulator::HandleCommand(const std::string& command) {
    LogCommand(command);
    AdvanceSupply();
    std::optional<Reply> reply = supply_.Execute(command);
    if (reply && ShouldAnswer(command)) {
        QueueReply(std::move(*reply));
    }
}

bool Simulator::ShouldAnswer(const std::string& command) const {
    const bool spent = faults_.silent_after_replies && replies_ >= *faults_.silent_after_replies;
    return !faults_.silent && !spent && faults_.dropped_commands.count(command) == 0;
}

void Simulator::QueueReply(Reply reply) {
    ++replies_;
    std::string& payload = reply.payload;
    if (reply.is_status && faults_.bad_digit_position &&
        *faults_.bad_digit_position <= static_cast<long long>(payload.size())) {
        payload[static_cast<std::size_t>(*faults_.bad_digit_position - 1)] = 'x';
    }
    if (reply.is_status && faults_.truncate_status) {
        payload.resize(
            std::min(payload.size(), static_cast<std::size_t>(*faults_.truncate_status)));
    }
    std::string line;
    if (faults_.garbage) {
        const int count = std::uniform_int_distribution<int>(1, kMaxGarbageBytes)(random_);
        for (int i = 0; i < count; ++i) {
            // Any byte value but NUL and LF: 1..254 with LF moved to 255.
            const int value = std::uniform_int_distribution<int>(1, 254)(random_);
            line += static_cast<char>(value == '\n' ? 255 : value);
        }
    }
    line += kLeadCharacter + payload + '\n';
    const Clock::time_point due =
        Clock::now() + std::chrono::milliseconds(options_.LatencyMs() + faults_.late_ms);
    for (char c : line) {
        transmit_queue_.push_back({c, due});
    }
}

// Writes every character whose time on the line has come: one character time after the
// previous one, and not before its reply is due.
void Simulator::Transmit(Clock::time_point now) {
    std::string ready;
    while (!transmit_queue_.empty()) {
        const Clock::time_point sent =
            std::max(line_free_, transmit_queue_.front().due) + char_time_;
        if (sent > now) {
            break;
        }
        ready += transmit_queue_.front().byte;
        transmit_queue_.pop_front();
        line_free_ = sent;
    }
    if (ready.empty() || !pty_.is_open()) {
        return;
    }
    // Nobody listening and the buffer full: the characters are lost, as on a real line.
    if (write(pty_.master(), ready.data(), ready.size()) < 0 && errno != EAGAIN) {
        std::perror("zrm-sim: write");
    }
}

void Simulator::LogCommand(const std::string& command) {
    if (log_ == nullptr) {
        return;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_);
    std::fprintf(log_, "%lld %s\n", static_cast<long long>(ms.count()), command.c_str());
    std::fflush(log_);
}

void Simulator::ReadControl() {
    bool ended = false;
    control_buffer_ += ReadAvailable(STDIN_FILENO, ended);
    std::size_t newline;
    while (!quit_ && (newline = control_buffer_.find('\n')) != std::string::npos) {
        const std::string line = control_buffer_.substr(0, newline);
        control_buffer_.erase(0, newline + 1);
        HandleControl(line);
    }
    if (ended) {
        stdin_open_ = false;
        quit_ = quit_ || options_.exit_on_eof;
    }
}

void Simulator::HandleControl(const std::string& line) {
    std::istringstream words(line);
    std::string name;
    std::string argument;
    words >> name >> argument;
    if (name.empty()) {
        return;
    }
    AdvanceSupply();
    bool ok = true;
    if (name == "quit") {
        quit_ = true;
    } else if (name == "state") {
        PrintLine(supply_.StateLine());
    } else if (name == "unplug") {
        Unplug();
    } else if (name == "replug") {
        Unplug();
        ok = Plug();
    } else if (name == "load") {
        char* end = nullptr;
        const double ohms = std::strtod(argument.c_str(), &end);
        ok = !argument.empty() && *end == '\0' && std::isfinite(ohms) && ohms > 0;
        if (ok) {
            supply_.SetLoad(ohms);
        }
    } else if (name == "battery") {
        const std::optional<Battery> battery = ParseBattery(argument);
        ok = battery.has_value();
        if (ok) {
            supply_.SetBattery(*battery);
        }
    } else if (name == "late") {
        const std::optional<long long> ms = ParseFixed(argument, 0);
        ok = ms && *ms >= 0;
        faults_.late_ms = ok ? *ms : faults_.late_ms;
    } else {
        const std::optional<bool> on = ParseSwitch(argument);
        ok = on && HandleSwitch(name, *on);
    }
    if (!ok) {
        std::fprintf(stderr, "zrm-sim: control line not understood: %s\n", line.c_str());
    }
}

bool Simulator::HandleSwitch(const std::string& name, bool on) {
    if (name == "overtemp") {
        supply_.SetOverTemp(on);
    } else if (name == "locked") {
        supply_.SetLocked(on);
    } else if (name == "garbage") {
        faults_.garbage = on;
    } else if (name == "silent") {
        faults_.silent = on;
        if (!on) {
            faults_.silent_after_replies.reset();
        }
    } else {
        return false;
    }
    return true;
}

void Simulator::AdvanceSupply() {
    supply_.AdvanceTo(std::chrono::duration<double>(Clock::now() - start_).count());
}

void Simulator::PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace zrm_sim
