// Flags that the transfer thread, the window thread and the watcher threads share.
#pragma once

#include <atomic>

// Raised to end every receive loop, the progress thread and the busy refusal.
extern std::atomic<int> stop_flag;
// The opcode of the running transfer's request: 1 read, 2 write, 0 when no transfer runs.
extern std::atomic<int> transfer_kind;
// File bytes moved in the current transfer.
extern std::atomic<int> byte_count;
