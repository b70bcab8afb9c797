#include "rtt.h"

#include "diag/trace.h"
#include "platform/clock.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int rtt_backoff[5] = {1, 2, 4, 8, 16};
constexpr int rtt_min_timeout = 2;
constexpr int rtt_give_up_after = 4; // a retry count above this gives up

} // namespace

uint64_t clock_seconds() { return clock_ms() / 1000u; }

void rtt_reset(rtt_record& r) {
    r.rtt = 0;
    r.srtt = 0;
    r.rttdev = 1.5f;
    r.held_timeout = 0;
}

void rtt_new_transfer(rtt_record& r) { r.retry_count = 0; }

int rtt_start(rtt_record& r, int timeout_seconds) {
    if (r.retry_count > 0) {
        int multiplier = rtt_backoff[std::min<int>(r.retry_count, rtt_give_up_after)];
        r.currto = static_cast<int16_t>(multiplier * r.currto); // wraps within 16 bits
        return r.currto;
    }
    r.start_secs = clock_seconds();
    if (r.held_timeout > 0) {
        r.currto = r.held_timeout;
        r.held_timeout = 0;
        return r.currto;
    }
    // Rounded by adding a half and truncating, as the timeouts have always been computed.
    int estimate =
        static_cast<int>(r.srtt + 2.0 * r.rttdev + 0.5); // NOLINT(bugprone-incorrect-roundings)
    r.currto = static_cast<int16_t>(
        estimate < rtt_min_timeout ? rtt_min_timeout : std::min(estimate, timeout_seconds));
    return r.currto;
}

void rtt_measure(rtt_record& r) {
    if (r.retry_count > 0) {
        r.held_timeout = r.currto;
        return;
    }
    r.held_timeout = 0;
    r.stop_secs = clock_seconds();
    double measured = static_cast<double>(r.stop_secs) - static_cast<double>(r.start_secs);
    double delta = measured - r.srtt;
    r.rtt = static_cast<float>(measured);
    r.srtt = static_cast<float>(r.srtt + 0.125 * delta);
    r.rttdev = static_cast<float>(r.rttdev + 0.25 * (std::fabs(delta) - r.rttdev));
}

int rtt_expired(rtt_record& r) {
    rtt_measure(r);
    ++r.retry_count;
    return r.retry_count > rtt_give_up_after ? -1 : 0;
}

void rtt_trace(const rtt_record& r) {
    trace_line("rtt = %.5f, srtt = %.3f, rttdev = %.3f, currto = %d.", static_cast<double>(r.rtt),
               static_cast<double>(r.srtt), static_cast<double>(r.rttdev), r.currto);
}

void t_start(stopwatch& w) { w.start = clock_ms(); }

void t_stop(stopwatch& w) { w.stop = clock_ms(); }

double t_elapsed(stopwatch& w) {
    w.elapsed = static_cast<double>(w.stop - w.start) / 1000.0;
    return w.elapsed;
}
