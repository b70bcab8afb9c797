// Retransmission timing: the smoothed round-trip estimate with its back-off, the count of
// timeouts that decides when a transfer gives up, on a clock of whole seconds; and the transfer
// stopwatch, on the millisecond clock. Each transfer has its own, used only by whoever runs it.
#pragma once

#include <cstdint>

struct rtt_record {
    float rtt = 0;            // last measured round trip, seconds
    float srtt = 0;           // smoothed round trip
    float rttdev = 1.5f;      // smoothed mean deviation
    int16_t retry_count = 0;  // timeouts since the transfer started
    int16_t currto = 0;       // current retransmission timeout, seconds
    int16_t held_timeout = 0; // timeout held over for the next measured exchange, 0 for none
    uint64_t start_secs = 0;  // clock when the measured wait began
    uint64_t stop_secs = 0;   // clock when it ended
};

void rtt_reset(rtt_record& r);
void rtt_new_transfer(rtt_record& r);
// Before every wait; the estimate is capped by the transfer's packet timeout.
int rtt_start(rtt_record& r, int timeout_seconds);
void rtt_measure(rtt_record& r);
// -1 when the transfer must give up (its fifth timeout), else 0.
int rtt_expired(rtt_record& r);
void rtt_trace(const rtt_record& r);

// A transfer's elapsed time, on the millisecond clock, in seconds.
struct stopwatch {
    uint64_t start = 0, stop = 0; // milliseconds
    double elapsed = 0;           // seconds
};
void t_start(stopwatch& w);
void t_stop(stopwatch& w);
double t_elapsed(stopwatch& w);

// The tick count in whole seconds.
uint64_t clock_seconds();
