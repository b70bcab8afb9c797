// Priorities: threads started after the window thread has lowered and restored its own run at
// normal priority, for an ordinary user too, who may lower a nice value but not raise it again.
#include "platform/thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

int own_nice() { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); }

bool later_threads_start_at_normal_priority() {
    const int normal = own_nice();
    thread_priority_below_normal_undoable(); // what Enable and Start do to the window thread
    thread_priority_normal();                // and Disable undoes
    int started_at = 0;
    std::thread later([&started_at] { started_at = own_nice(); });
    later.join();
    return started_at == normal;
}

TEST(thread_priority, threads_started_after_a_restore_run_at_normal_priority) {
    EXPECT_TRUE(later_threads_start_at_normal_priority());
    if (geteuid() != 0) return; // already an ordinary user
    pid_t child = fork();
    if (child == 0) {
        // The same as the user "nobody", in a process of its own.
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(2);
        _exit(later_threads_start_at_normal_priority() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
