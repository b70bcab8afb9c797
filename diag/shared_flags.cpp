#include "shared_flags.h"

std::atomic<int> stop_flag{0};
std::atomic<int> transfer_kind{0};
std::atomic<int> byte_count{0};
