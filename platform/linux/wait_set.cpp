#include "platform/wait_set.h"

#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

namespace {
constexpr int events_per_wait = 256;
}

wait_set::wait_set() : fd_(epoll_create1(EPOLL_CLOEXEC)) {}

wait_set::~wait_set() {
    if (fd_ >= 0) close(fd_);
}

bool wait_set::add(int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    return epoll_ctl(fd_, EPOLL_CTL_ADD, fd, &event) == 0;
}

void wait_set::remove(int fd) { epoll_ctl(fd_, EPOLL_CTL_DEL, fd, nullptr); }

std::vector<int> wait_set::wait(int milliseconds) {
    epoll_event events[events_per_wait];
    std::vector<int> ready;
    int n;
    do {
        n = epoll_wait(fd_, events, events_per_wait, milliseconds);
    } while (n < 0 && errno == EINTR);
    for (int i = 0; i < n; ++i)
        ready.push_back(events[i].data.fd);
    return ready;
}
