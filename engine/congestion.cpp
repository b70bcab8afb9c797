#include "congestion.h"

#include "platform/clock.h"

#include <algorithm>

namespace {

constexpr double initial_window = 2;
constexpr double least_window = 1;
constexpr double cut_factor = 0.7;
// A path idle this long has forgotten how full its queue was: it starts again from two blocks
// and grows at once to the window of its last cut.
constexpr uint64_t idle_restart_us = 1000000;
// Before the first round trip is measured, the pace is this.
constexpr double unknown_round_trip_us = 1000;

uint64_t interval_us(const path_budget& p) {
    const double round_trip = p.srtt_us > 0 ? p.srtt_us : unknown_round_trip_us;
    return static_cast<uint64_t>(round_trip / std::max(p.cwnd, least_window));
}

} // namespace

bool path_may_send(path_budget& p, int block_size, uint64_t now_us) {
    if (p.sent_us > 0 && now_us - p.sent_us > idle_restart_us)
        p.cwnd = std::min(p.cwnd, initial_window);
    if (now_us < p.next_us) {
        p.held_us = now_us;
        return false;
    }
    const uint64_t interval = interval_us(p);
    // What an idle moment saved may go at once, up to two datagrams or what a wait oversleeps.
    const uint64_t credit = std::max(2 * interval, clock_wake_granularity_us());
    p.next_us = std::max(p.next_us, now_us > credit ? now_us - credit : 0) + interval;
    p.sent_us = now_us;
    p.block_size = block_size;
    return true;
}

uint64_t path_wait_us(const path_budget& p, uint64_t now_us) {
    return p.next_us > now_us ? p.next_us - now_us : 0;
}

int path_wait_ms(const path_budget& p, uint64_t now_us) {
    return static_cast<int>(std::min<uint64_t>((path_wait_us(p, now_us) + 999) / 1000, INT32_MAX));
}

void path_acked(path_budget& p, int64_t blocks, uint64_t now_us) {
    // A window grows only while it limits: one the transfers do not fill would tell nothing of
    // the path, and would let a crowd that comes later burst.
    const double round_trip = std::max(p.srtt_us, unknown_round_trip_us);
    if (p.line.empty() && now_us - p.held_us > 4 * round_trip) return;
    const double confirmed = static_cast<double>(blocks);
    if (p.ssthresh == 0 || p.cwnd < p.ssthresh)
        p.cwnd += confirmed;
    else
        p.cwnd += confirmed / p.cwnd;
}

void path_round_trip(path_budget& p, uint64_t sample_us) {
    const double sample = static_cast<double>(sample_us);
    p.srtt_us = p.srtt_us == 0 ? sample : p.srtt_us + 0.125 * (sample - p.srtt_us);
}

bool path_loss(path_budget& p, uint64_t sent_us, uint64_t now_us) {
    // Losses of datagrams that left before the last cut are answered by it; so is every loss
    // within a round trip of it.
    const auto round_trip = static_cast<uint64_t>(p.srtt_us);
    if (p.cut_us > 0 && (sent_us <= p.cut_us || now_us - p.cut_us < round_trip)) return false;
    p.cut_us = now_us;
    p.cwnd = std::max(p.cwnd * cut_factor, least_window);
    p.ssthresh = std::max(p.cwnd, initial_window);
    return true;
}

double path_rate(const path_budget& p) {
    return p.srtt_us > 0 ? p.cwnd * p.block_size * 1e6 / p.srtt_us : 0;
}
