// The waits that the round-trip estimate yields and the trace line that shows it, its back-off in
// 16 bits, the count of timeouts that gives up on the fifth, and the stopwatch. Elapsed seconds
// are made by moving the tick count, not by waiting.
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
        rtt_reset(r);
        rtt_new_transfer(r);
        // Start just after a second begins, so that no second ends between two readings.
        while (clock_ms() % 1000 > 100)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The estimate as the trace shows it.
    std::string traced() {
        rtt_trace(r);
        std::string log = trace();
        size_t start = log.rfind(": rtt = ");
        if (start == std::string::npos) return "";
        return log.substr(start + 2, log.find('\n', start) - start - 2);
    }
    rtt_record r;
};

TEST_F(rtt_test, first_exchange_then_the_floor_of_two_seconds) {
    EXPECT_EQ(rtt_start(r, 120), 3); // srtt 0 + 2 x 1.5 + 0.5
    rtt_measure(r);
    EXPECT_EQ(traced(), "rtt = 0.00000, srtt = 0.000, rttdev = 1.125, currto = 3.");
    EXPECT_EQ(rtt_start(r, 120), 2);
    rtt_measure(r);
    EXPECT_EQ(traced(), "rtt = 0.00000, srtt = 0.000, rttdev = 0.844, currto = 2.");
    EXPECT_EQ(rtt_start(r, 120), 2);
    EXPECT_EQ(rtt_start(r, 2), 2); // the packet timeout caps the estimate
}

TEST_F(rtt_test, a_first_timeout_is_measured_as_a_round_trip_and_doubles_the_next_wait) {
    EXPECT_EQ(rtt_start(r, 5), 3);
    clock_shift(5000); // the wait ran out five seconds later
    EXPECT_EQ(rtt_expired(r), 0);
    EXPECT_EQ(traced(), "rtt = 5.00000, srtt = 0.625, rttdev = 2.375, currto = 3.");
    EXPECT_EQ(rtt_start(r, 5), 6);
}

TEST_F(rtt_test, a_long_back_off_wraps_in_16_bits_and_stays_at_zero) {
    rtt_start(r, 120);
    rtt_measure(r);
    EXPECT_EQ(rtt_start(r, 120), 2);
    rtt_expired(r);
    std::vector<int> seen;
    for (int i = 0; i < 16; ++i)
        seen.push_back(rtt_start(r, 120));
    std::vector<int> expected = {4,    8,    16,   32,   64,    128,    256, 512,
                                 1024, 2048, 4096, 8192, 16384, -32768, 0,   0};
    EXPECT_EQ(seen, expected);
}

TEST_F(rtt_test, timeouts_add_up_across_blocks_and_the_fifth_gives_up) {
    rtt_start(r, 120);
    EXPECT_EQ(rtt_expired(r), 0);
    EXPECT_EQ(rtt_expired(r), 0);
    rtt_start(r, 120);
    rtt_measure(r); // an answer does not reset the count
    EXPECT_EQ(rtt_expired(r), 0);
    EXPECT_EQ(rtt_expired(r), 0);
    EXPECT_EQ(rtt_expired(r), -1);
}

TEST_F(rtt_test, an_answer_after_a_timeout_holds_the_timeout_for_the_next_transfer) {
    rtt_start(r, 120);
    rtt_expired(r);
    EXPECT_EQ(rtt_start(r, 120), 6);
    rtt_measure(r);
    rtt_new_transfer(r);
    EXPECT_EQ(rtt_start(r, 120), 6);
    rtt_measure(r);
    EXPECT_EQ(rtt_start(r, 120), 2); // held once only: the estimate again
}

TEST_F(rtt_test, the_stopwatch_counts_milliseconds) {
    stopwatch w;
    t_start(w);
    clock_shift(3400);
    t_stop(w);
    double elapsed = t_elapsed(w);
    EXPECT_GE(elapsed, 3.4);
    EXPECT_LT(elapsed, 3.5);
}

} // namespace
