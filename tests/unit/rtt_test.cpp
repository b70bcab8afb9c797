// The round-trip estimate, its back-off in 16 bits, the count of timeouts that gives up on the
// fifth, and the stopwatch. Elapsed seconds are made by moving the tick count, not by waiting.
#include "diag/report.h"
#include "engine/endpoint.h"
#include "engine/rtt.h"
#include "engine_fixture.h"
#include "platform/clock.h"
#include "ui/test_backend.h"

#include <thread>

namespace {

class rtt_test : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        rtt_state = rtt_record{};
        rtt_reset();
        rtt_new_transfer();
        // Start just after a second begins, so that no second ends between two readings.
        while (clock_ms() % 1000 > 100)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
};

TEST_F(rtt_test, first_exchange_then_the_floor_of_two_seconds) {
    EXPECT_EQ(rtt_start(), 3); // srtt 0 + 2 x 1.5 + 0.5
    rtt_measure();
    EXPECT_FLOAT_EQ(rtt_state.rttdev, 1.125f);
    EXPECT_EQ(rtt_start(), 2);
    rtt_measure();
    EXPECT_FLOAT_EQ(rtt_state.rttdev, 0.84375f);
    EXPECT_EQ(rtt_start(), 2);
}

TEST_F(rtt_test, the_packet_timeout_caps_the_estimate) {
    packet_timeout = 2;
    EXPECT_EQ(rtt_start(), 2);
}

TEST_F(rtt_test, a_first_timeout_is_measured_as_a_round_trip_and_doubles_the_next_wait) {
    packet_timeout = 5;
    EXPECT_EQ(rtt_start(), 3);
    clock_shift(5000); // the wait ran out five seconds later
    EXPECT_EQ(rtt_expired(), 0);
    EXPECT_FLOAT_EQ(rtt_state.rtt, 5.0f);
    EXPECT_FLOAT_EQ(rtt_state.srtt, 0.625f);
    EXPECT_FLOAT_EQ(rtt_state.rttdev, 2.375f);
    EXPECT_EQ(rtt_state.retry_count, 1);
    EXPECT_EQ(rtt_start(), 6);
}

TEST_F(rtt_test, a_long_back_off_wraps_in_16_bits_and_stays_at_zero) {
    rtt_state.retry_count = 1;
    rtt_state.currto = 2;
    std::vector<int> seen;
    for (int i = 0; i < 16; ++i)
        seen.push_back(rtt_start());
    std::vector<int> expected = {4,    8,    16,   32,   64,    128,    256, 512,
                                 1024, 2048, 4096, 8192, 16384, -32768, 0,   0};
    EXPECT_EQ(seen, expected);
}

TEST_F(rtt_test, timeouts_add_up_across_blocks_and_the_fifth_gives_up) {
    rtt_start();
    EXPECT_EQ(rtt_expired(), 0);
    EXPECT_EQ(rtt_expired(), 0);
    rtt_start();
    rtt_measure(); // an answer does not reset the count
    EXPECT_EQ(rtt_expired(), 0);
    EXPECT_EQ(rtt_expired(), 0);
    EXPECT_EQ(rtt_expired(), -1);
}

TEST_F(rtt_test, the_next_transfer_starts_from_the_held_timeout) {
    rtt_start();
    rtt_expired();
    EXPECT_EQ(rtt_start(), 6);
    rtt_measure(); // an answer after a timeout holds the timeout over
    EXPECT_EQ(rtt_state.held_timeout, 6);
    rtt_new_transfer();
    EXPECT_EQ(rtt_start(), 6);
    EXPECT_EQ(rtt_state.held_timeout, 0);
}

TEST_F(rtt_test, the_stopwatch_counts_whole_seconds) {
    t_start();
    clock_shift(3400);
    t_stop();
    double elapsed = t_elapsed();
    EXPECT_TRUE(elapsed == 3.0 || elapsed == 4.0) << elapsed;
}

TEST_F(rtt_test, a_clock_reading_of_zero_is_fatal) {
    use_role(client_like_role());
    clock_shift(0u - clock_ms() + 200u); // the tick count is in its first second
    EXPECT_FALSE(run_on_worker([] { rtt_start(); }));
    clock_shift(5000);
    ASSERT_FALSE(ui_test_boxes().empty());
    EXPECT_EQ(ui_test_boxes()[0].text, "rtt_start: GetTickCount() error.");
}

TEST_F(rtt_test, the_trace_line_shows_the_estimate) {
    rtt_start();
    rtt_measure();
    rtt_trace();
    EXPECT_NE(trace().find("rtt = 0.00000, srtt = 0.000, rttdev = 1.125, currto = 3."),
              std::string::npos)
        << trace();
}

} // namespace
