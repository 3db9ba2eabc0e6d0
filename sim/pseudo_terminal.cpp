// SPDX-License-Identifier: GPL-3.0-or-later
#include "pseudo_terminal.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zrm_sim {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&settings, B2400);
    cfsetospeed(&settings, B2400);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

bool PseudoTerminal::Open(std::string& error) {
    Close();
    char name[PATH_MAX] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        error = SystemError("openpty");
        master_ = slave_ = -1;
        return false;
    }
    slave_path_ = name;
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    if (!MakeRaw(slave_) || fcntl(master_, F_SETFL, O_NONBLOCK) != 0) {
        error = SystemError("setting up " + slave_path_);
        Close();
        return false;
    }
    return true;
}

void PseudoTerminal::Close() {
    if (slave_ >= 0) {
        close(slave_);
    }
    if (master_ >= 0) {
        close(master_);
    }
    master_ = slave_ = -1;
}

bool SymLink::PointAt(const std::string& target, std::string& error) {
    struct stat existing {};
    if (lstat(path_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = path_ + " exists and is not a symbolic link";
        return false;
    }
    const std::string temporary = path_ + ".tmp" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0 ||
        rename(temporary.c_str(), path_.c_str()) != 0) {
        error = SystemError("linking " + path_);
        unlink(temporary.c_str());
        return false;
    }
    target_ = target;
    return true;
}

void SymLink::Remove() {
    if (target_.empty()) {
        return;
    }
    char current[PATH_MAX];
    const ssize_t length = readlink(path_.c_str(), current, sizeof current - 1);
    if (length >= 0 && std::string(current, static_cast<std::size_t>(length)) == target_) {
        unlink(path_.c_str());
    }
    target_.clear();
}

} // namespace zrm_sim
