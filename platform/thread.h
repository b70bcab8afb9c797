// Worker threads: started detached, ended only from inside by thread_end().
#pragma once

#include <functional>

// Starts fn on a detached thread whose entry catches the ending that thread_end() raises. 0, or
// the system's error number when it has no thread to give (a task limit reached): fn never runs.
[[nodiscard]] int thread_start(std::function<void()> fn);
// Ends the calling worker thread: unwinds its stack (closing what its frames own) to its entry.
[[noreturn]] void thread_end();

// Priorities of the calling thread; a refusal by the system is ignored.
void thread_priority_normal();
void thread_priority_below_normal(); // nice +5
// Below normal only where thread_priority_normal() can undo it: an ordinary user may lower a nice
// value but not raise it again, and threads started later inherit it.
void thread_priority_below_normal_undoable();
void thread_priority_idle(); // SCHED_IDLE
