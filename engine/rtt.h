// Retransmission timing: each wait for an answer lasts the retransmission timeout that the
// transfer's measured round trips give (the smoothed round trip plus four times its deviation,
// never under a fifth of a second, nor under a second before the first measurement), doubles after
// each timeout and is never longer than the packet timeout; the fifth timeout without an answer
// between gives the transfer up. And the transfer stopwatch. All on the millisecond clock; each
// transfer has its own, used only by whoever runs it.
#pragma once

#include <cstdint>

struct rtt_record {
    double rtt = 0;          // last measured round trip, seconds
    double srtt = 0;         // smoothed round trip; 0 until the first measurement
    double rttdev = 0;       // smoothed mean deviation
    bool measured = false;   // a round trip has been measured in this transfer
    int16_t retry_count = 0; // timeouts since the last answer
    int currto = 0;          // the current wait, milliseconds
    bool backed_off =
        false;             // a timeout doubled the wait, and no round trip has been measured since
    bool resent = false;   // what the current wait awaits went out more than once
    uint64_t start_ms = 0; // clock when the current wait began
};

void rtt_new_transfer(rtt_record& r);
// Before every wait: its length in milliseconds, at most the packet timeout.
int rtt_start(rtt_record& r, int timeout_seconds);
// An answer arrived at arrived_ms: the count of timeouts starts again. It measures a round trip
// unless what it answers went out more than once, when nobody can tell which copy it answers.
void rtt_measure(rtt_record& r, uint64_t arrived_ms);
// A wait ran out: -1 when the transfer must give up (the fifth timeout without an answer
// between), else 0; the next wait is twice as long.
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
