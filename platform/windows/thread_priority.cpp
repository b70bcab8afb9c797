#include "platform/thread.h"

#include <windows.h>

namespace {
void set_priority(int priority) { SetThreadPriority(GetCurrentThread(), priority); }
} // namespace

void thread_priority_normal() { set_priority(THREAD_PRIORITY_NORMAL); }

void thread_priority_below_normal() { set_priority(THREAD_PRIORITY_BELOW_NORMAL); }

// Any process may raise its threads back to normal on Windows.
void thread_priority_below_normal_undoable() { set_priority(THREAD_PRIORITY_BELOW_NORMAL); }

void thread_priority_idle() { set_priority(THREAD_PRIORITY_IDLE); }
