// The millisecond tick count and the local time of day.
#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock, 64 bits wide: no reading is ever an error, and none wraps
// in the life of a machine.
uint64_t clock_ms();
// The same clock in microseconds, for the pace of datagrams that leave less than a millisecond
// apart.
uint64_t clock_us();
// How late a wait of a millisecond may wake, in microseconds: a pace that lets datagrams go in
// between gives that much back as a burst, or it would send slower than it means to.
uint64_t clock_wake_granularity_us();
// Moves the tick count on by delta milliseconds, so that tests can let time pass without waiting.
void clock_shift(uint64_t delta);

struct time_of_day {
    int hours, minutes, seconds, milliseconds;
};
time_of_day clock_time_of_day();

void sleep_ms(int milliseconds);
