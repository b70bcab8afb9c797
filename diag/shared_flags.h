// Flags that the transfer thread, the window thread and the watcher threads share.
#pragma once

#include <atomic>

// Raised to end every receive loop, the progress thread and the busy refusal.
extern std::atomic<int> stop_flag;
// Raises or clears stop_flag; waits on stop_event() end the moment it is raised, so that no
// waiter needs to wake up to look at the flag.
void stop_raise();
void stop_clear();
int stop_event();
// The opcode of the running transfer's request: 1 read, 2 write, 0 when no transfer runs.
extern std::atomic<int> transfer_kind;
// File bytes moved in the current transfer.
extern std::atomic<int> byte_count;
