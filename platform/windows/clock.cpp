#include "platform/clock.h"

#include <atomic>
#include <windows.h>

namespace {
std::atomic<uint64_t> shift{0};
}

uint64_t clock_ms() { return GetTickCount64() + shift.load(); }

uint64_t clock_us() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const auto ticks = static_cast<uint64_t>(now.QuadPart);
    const auto per_second = static_cast<uint64_t>(frequency);
    return ticks / per_second * 1000000u + ticks % per_second * 1000000u / per_second +
           shift.load() * 1000u;
}

// The system's timer ticks every 15.6 ms unless a program asks for finer.
uint64_t clock_wake_granularity_us() { return 16000; }

void clock_shift(uint64_t delta) { shift += delta; }

time_of_day clock_time_of_day() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

void sleep_ms(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }
