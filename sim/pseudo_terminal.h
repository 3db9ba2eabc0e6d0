// SPDX-License-Identifier: GPL-3.0-or-later
// The pseudo-terminal that stands in for the supply's serial cable, and the symbolic link
// that gives it a stable name.
#pragma once

#include <string>

namespace zrm_sim {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal() { Close(); }

    // Opens a new pair in raw mode at 2400 baud 8N1; on failure returns false with a message.
    bool Open(std::string& error);
    // Closes both sides: a program that has the slave open sees a hang-up.
    void Close();

    bool is_open() const { return master_ >= 0; }
    int master() const { return master_; }
    const std::string& slave_path() const { return slave_path_; }

private:
    int master_ = -1;
    // Our own descriptor on the slave keeps the line up while the panel closes and reopens
    // the port, so the master never reads a hang-up between two of its sessions.
    int slave_ = -1;
    std::string slave_path_;
};

class SymLink {
public:
    explicit SymLink(std::string path) : path_(std::move(path)) {}
    SymLink(const SymLink&) = delete;
    SymLink& operator=(const SymLink&) = delete;
    ~SymLink() { Remove(); }

    // Points the link at target, replacing the link in one step. Refuses to replace
    // anything that is not a symbolic link.
    bool PointAt(const std::string& target, std::string& error);
    // Removes the link if it still points where we put it (another simulator may have
    // taken the name over since).
    void Remove();

private:
    std::string path_;
    std::string target_;
};

} // namespace zrm_sim
