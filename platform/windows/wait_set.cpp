#include "platform/wait_set.h"

#include "sockets.h"

#include <algorithm>

// Windows has no epoll: each wait polls every socket of the set, which a server keeps to its few
// hundred transfers at most.
struct wait_set::state {
    std::vector<int> numbers;
};

wait_set::wait_set() : state_(std::make_unique<state>()) {}

wait_set::~wait_set() = default;

bool wait_set::usable() const { return true; }

bool wait_set::add(int fd) {
    if (socket_of(fd) == INVALID_SOCKET) return false;
    state_->numbers.push_back(fd);
    return true;
}

void wait_set::remove(int fd) {
    auto& numbers = state_->numbers;
    numbers.erase(std::remove(numbers.begin(), numbers.end(), fd), numbers.end());
}

std::vector<int> wait_set::wait(int milliseconds) {
    std::vector<WSAPOLLFD> polled;
    for (int fd : state_->numbers)
        polled.push_back({socket_of(fd), POLLRDNORM, 0});
    std::vector<int> ready;
    if (polled.empty()) {
        Sleep(milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds));
        return ready;
    }
    if (WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), milliseconds) <= 0) return ready;
    for (size_t i = 0; i < polled.size(); ++i)
        if (polled[i].revents & (POLLRDNORM | POLLERR | POLLHUP))
            ready.push_back(state_->numbers[i]);
    return ready;
}
