#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<uint64_t> shift{0};
}

uint64_t clock_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000000u + shift.load();
}

uint64_t clock_us() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000u + shift.load() * 1000u;
}

uint64_t clock_wake_granularity_us() { return 1000; } // waits last whole milliseconds

void clock_shift(uint64_t delta) { shift += delta; }

time_of_day clock_time_of_day() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_nsec / 1000000)};
}

void sleep_ms(int milliseconds) {
    timespec span{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&span, &span) != 0) {
    }
}
