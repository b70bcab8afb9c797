#include "thread.h"

#include <thread>

namespace {
// Raised by thread_end(); private so that no other code can catch it by name.
struct thread_ending {};
} // namespace

void thread_start(std::function<void()> fn) {
    std::thread([fn = std::move(fn)] {
        try {
            fn();
        } catch (const thread_ending&) {
        }
    }).detach();
}

void thread_end() { throw thread_ending{}; }
