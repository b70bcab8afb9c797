#include "thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

// Raised by thread_end(); private so that no other code can catch it by name.
struct thread_ending {};

// The nice value the process started with; "normal" and "below normal" are relative to it.
const int base_nice = getpriority(PRIO_PROCESS, 0);

void set_nice(int value) {
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), value);
}

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

void thread_priority_normal() { set_nice(base_nice); }

void thread_priority_below_normal() { set_nice(base_nice + 5); }

void thread_priority_idle() {
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
}
