#include "platform/signals.h"

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {
sigset_t termination_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}
} // namespace

const bool signals_can_reload = true;
const char* const signals_stop_text = "Ctrl-C, SIGTERM, the console closing";

void signals_hold_termination() {
    // A shell without job control starts background programs with SIGINT ignored, and an
    // ignored signal never reaches a waiter.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    sigset_t set = termination_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int signals_termination_fd() {
    sigset_t set = termination_set();
    return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

int signals_take(int fd) {
    signalfd_siginfo info{};
    if (read(fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return SIGNAL_NONE;
    return info.ssi_signo == SIGHUP ? SIGNAL_RELOAD : SIGNAL_STOP;
}
