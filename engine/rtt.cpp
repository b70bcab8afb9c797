#include "rtt.h"

#include "diag/trace.h"
#include "platform/clock.h"

#include <algorithm>
#include <cmath>

namespace {

// A second until a round trip has been measured: a peer on any network answers sooner, and a busy
// one is not flooded with copies. Once one has, a fifth of a second, as TCP's own floor: a block
// lost in a crowd costs little more than a round trip.
constexpr int rto_floor_unmeasured_ms = 1000;
constexpr int rto_floor_ms = 200;
constexpr int rtt_give_up_after = 4; // a retry count above this gives up

} // namespace

void rtt_new_transfer(rtt_record& r) { r = rtt_record{}; }

int rtt_start(rtt_record& r, int timeout_seconds) {
    r.start_ms = clock_ms();
    const int cap = timeout_seconds * 1000;
    if (!r.backed_off) {
        double estimate = (r.srtt + 4 * r.rttdev) * 1000;
        const int floor = r.measured ? rto_floor_ms : rto_floor_unmeasured_ms;
        r.currto = static_cast<int>(std::lround(std::max<double>(estimate, floor)));
    }
    r.currto = std::min(r.currto, cap);
    return r.currto;
}

void rtt_measure(rtt_record& r, uint64_t arrived_ms) {
    // Whatever was resent is answered now; the next wait awaits the answer to something new, and
    // the count of timeouts in a row starts again.
    const bool ambiguous = r.resent;
    r.resent = false;
    r.retry_count = 0;
    if (ambiguous) return;
    double measured = static_cast<double>(arrived_ms - r.start_ms) / 1000.0;
    r.rtt = measured;
    if (!r.measured) {
        r.srtt = measured;
        r.rttdev = measured / 2;
        r.measured = true;
    } else {
        double delta = measured - r.srtt;
        r.srtt += 0.125 * delta;
        r.rttdev += 0.25 * (std::fabs(delta) - r.rttdev);
    }
    r.backed_off = false;
}

int rtt_expired(rtt_record& r) {
    ++r.retry_count;
    r.currto *= 2;
    r.backed_off = true;
    r.resent = true;
    return r.retry_count > rtt_give_up_after ? -1 : 0;
}

void rtt_trace(const rtt_record& r) {
    trace_line("rtt = %.5f, srtt = %.3f, rttdev = %.3f, currto = %d.", r.rtt, r.srtt, r.rttdev,
               r.currto);
}

void t_start(stopwatch& w) { w.start = clock_ms(); }

void t_stop(stopwatch& w) { w.stop = clock_ms(); }

double t_elapsed(stopwatch& w) {
    w.elapsed = static_cast<double>(w.stop - w.start) / 1000.0;
    return w.elapsed;
}
