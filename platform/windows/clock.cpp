#include "platform/clock.h"

#include <atomic>
#include <windows.h>

namespace {
std::atomic<uint64_t> shift{0};
}

uint64_t clock_ms() { return GetTickCount64() + shift.load(); }

void clock_shift(uint64_t delta) { shift += delta; }

time_of_day clock_time_of_day() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

void sleep_ms(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }
