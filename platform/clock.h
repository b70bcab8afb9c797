// The millisecond tick count and the local time of day.
#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock, kept to 32 bits so that it wraps as a tick counter does.
uint32_t clock_ms();
// Moves the tick count by delta milliseconds, so that tests can place the wrap where they need it.
void clock_shift(uint32_t delta);

struct time_of_day {
    int hours, minutes, seconds, milliseconds;
};
time_of_day clock_time_of_day();

void sleep_ms(int milliseconds);
