#include "thread.h"

#include <system_error>
#include <thread>

namespace {
// Raised by thread_end(); private so that no other code can catch it by name.
struct thread_ending {};
} // namespace

int thread_start(std::function<void()> fn) {
    try {
        std::thread([fn = std::move(fn)] {
            try {
                fn();
            } catch (const thread_ending&) {
            }
        }).detach();
    } catch (const std::system_error& refused) {
        return refused.code().value();
    }
    return 0;
}

void thread_end() { throw thread_ending{}; }
