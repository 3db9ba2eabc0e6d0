// SPDX-License-Identifier: GPL-3.0-or-later
// zrm-sim: a ZRM power supply on a pseudo-terminal, for the panel's demo and tests.
#include "options.h"
#include "simulator.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_stop_pipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = write(g_stop_pipe[1], &byte, 1);
}

// SIGINT and SIGTERM wake the event loop through a pipe, so it can remove the link and
// close the line before it ends. A closed standard output must not kill us either.
bool InstallSignalHandlers() {
    if (pipe(g_stop_pipe) != 0) {
        return false;
    }
    fcntl(g_stop_pipe[0], F_SETFD, FD_CLOEXEC);
    fcntl(g_stop_pipe[1], F_SETFD, FD_CLOEXEC);
    fcntl(g_stop_pipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    zrm_sim::Options options;
    std::string error;
    if (!zrm_sim::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "zrm-sim: %s\nTry 'zrm-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(zrm_sim::HelpText().c_str(), stdout);
        return 0;
    }
    if (!InstallSignalHandlers()) {
        std::perror("zrm-sim: pipe");
        return 1;
    }
    zrm_sim::Simulator simulator(options);
    return simulator.Run(g_stop_pipe[0]);
}
