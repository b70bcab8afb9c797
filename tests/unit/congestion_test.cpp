// The path's window and pace, on a clock the test gives: the burst an idle path allows, the
// spacing after it, growth by the blocks ACKs confirm while the window limits, the cut at a loss
// (once for the datagrams that left before it), and the fresh start after an idle second.
#include "engine/congestion.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t ms = 1000;
constexpr uint64_t start = 1000 * ms;

// Datagrams the path lets go at now, one after another, up to ten.
int burst(path_budget& p, uint64_t now) {
    int sent = 0;
    while (sent < 10 && path_may_send(p, 1468, now))
        ++sent;
    return sent;
}

TEST(congestion, an_idle_path_lets_three_go_at_once_then_one_each_round_trip_per_window) {
    path_budget p;
    path_round_trip(p, 40 * ms); // two blocks in 40 ms: one each 20 ms
    EXPECT_EQ(burst(p, start), 3);
    EXPECT_EQ(path_wait_us(p, start), 20 * ms);
    EXPECT_EQ(burst(p, start + 19 * ms), 0);
    EXPECT_EQ(burst(p, start + 20 * ms), 1);
    EXPECT_NEAR(path_rate(p), 2 * 1468 / 0.040, 1);
}

TEST(congestion, the_window_grows_while_it_limits_and_a_loss_cuts_it_once) {
    path_budget p;
    path_round_trip(p, 10 * ms);
    burst(p, start); // held back: the window limits
    path_acked(p, 16, start + ms);
    EXPECT_EQ(p.cwnd, 18); // until the first loss, by every block confirmed

    EXPECT_TRUE(path_loss(p, start + ms, start + 2 * ms));
    EXPECT_NEAR(p.cwnd, 12.6, 1e-9);
    EXPECT_FALSE(path_loss(p, start + ms, start + 3 * ms));     // left before the cut
    EXPECT_FALSE(path_loss(p, start + 3 * ms, start + 4 * ms)); // within its round trip
    EXPECT_NEAR(p.cwnd, 12.6, 1e-9);

    burst(p, start + 5 * ms);
    path_acked(p, 126, start + 6 * ms); // after it, a block a window's worth
    EXPECT_NEAR(p.cwnd, 12.6 + 10, 1e-9);
    EXPECT_TRUE(path_loss(p, start + 6 * ms, start + 13 * ms)); // the next round trip
    EXPECT_NEAR(p.cwnd, 22.6 * 0.7, 1e-9);

    // A window the transfers do not fill learns nothing; one idle for a second starts again.
    const double before = p.cwnd;
    path_acked(p, 100, start + 500 * ms);
    EXPECT_EQ(p.cwnd, before);
    EXPECT_TRUE(path_may_send(p, 1468, start + 2000 * ms));
    EXPECT_EQ(p.cwnd, 2);
}

TEST(congestion, the_round_trip_is_smoothed_and_a_transfer_in_line_keeps_the_window_growing) {
    path_budget p;
    path_round_trip(p, 8 * ms);
    path_round_trip(p, 16 * ms);
    EXPECT_EQ(p.srtt_us, 9 * ms);
    p.line.push_back(7);
    path_acked(p, 4, start + 900 * ms); // nothing was held back, but a transfer waits its turn
    EXPECT_EQ(p.cwnd, 6);
}

} // namespace
