// Retransmission timing: the smoothed round-trip estimate with its back-off, the count of
// timeouts that decides when a transfer gives up, and the transfer stopwatch. All on a clock of
// whole seconds; only the transfer thread uses them.
#pragma once

#include <cstdint>

struct rtt_record {
    float rtt = 0;            // last measured round trip, seconds
    float srtt = 0;           // smoothed round trip
    float rttdev = 1.5f;      // smoothed mean deviation
    int16_t retry_count = 0;  // timeouts since the transfer started
    int16_t currto = 0;       // current retransmission timeout, seconds
    int16_t held_timeout = 0; // timeout held over for the next measured exchange, 0 for none
    uint32_t start_secs = 0;  // clock when the measured wait began
    uint32_t stop_secs = 0;   // clock when it ended
};

extern rtt_record rtt_state;

void rtt_reset();
void rtt_new_transfer();
int rtt_start();
void rtt_measure();
// -1 when the transfer must give up (its fifth timeout), else 0.
int rtt_expired();
void rtt_trace();

void t_start();
void t_stop();
double t_elapsed();

// The tick count in whole seconds; 0 counts as a failure of the clock.
uint32_t clock_seconds();
