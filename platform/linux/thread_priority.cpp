#include "platform/thread.h"

#include <linux/capability.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The nice value the process started with; "normal" and "below normal" are relative to it.
const int base_nice = getpriority(PRIO_PROCESS, 0);

int set_nice(int value) {
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), value);
}

// Whether this process may raise a lowered nice value back to where it started: with the
// capability to, or within the limit the system grants an ordinary user.
bool nice_is_undoable() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    bool capable = syscall(SYS_capget, &header, caps) == 0 &&
                   (caps[CAP_SYS_NICE / 32].effective & (1u << (CAP_SYS_NICE % 32))) != 0;
    rlimit limit{};
    bool allowed =
        getrlimit(RLIMIT_NICE, &limit) == 0 &&
        (limit.rlim_cur == RLIM_INFINITY || base_nice >= 20 - static_cast<int>(limit.rlim_cur));
    return capable || allowed;
}

} // namespace

void thread_priority_normal() { set_nice(base_nice); }

void thread_priority_below_normal() { set_nice(base_nice + 5); }

void thread_priority_below_normal_undoable() {
    if (nice_is_undoable()) set_nice(base_nice + 5);
}

void thread_priority_idle() {
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
}
