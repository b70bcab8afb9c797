#include "platform/wait_set.h"

#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

namespace {
constexpr int events_per_wait = 256;
}

struct wait_set::state {
    int epoll = epoll_create1(EPOLL_CLOEXEC);
};

wait_set::wait_set() : state_(std::make_unique<state>()) {}

wait_set::~wait_set() {
    if (state_->epoll >= 0) close(state_->epoll);
}

bool wait_set::usable() const { return state_->epoll >= 0; }

bool wait_set::add(int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    return epoll_ctl(state_->epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

void wait_set::remove(int fd) { epoll_ctl(state_->epoll, EPOLL_CTL_DEL, fd, nullptr); }

std::vector<int> wait_set::wait(int milliseconds) {
    epoll_event events[events_per_wait];
    std::vector<int> ready;
    int n;
    do {
        n = epoll_wait(state_->epoll, events, events_per_wait, milliseconds);
    } while (n < 0 && errno == EINTR);
    for (int i = 0; i < n; ++i)
        ready.push_back(events[i].data.fd);
    return ready;
}
