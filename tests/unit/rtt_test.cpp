// The waits that measured round trips give and the trace line that shows them, the back-off after
// timeouts up to the packet timeout, the count of timeouts that gives up on the fifth, and the
// stopwatch. Round trips are given as arrival times, not waited for.
#include "engine/rtt.h"
#include "engine_fixture.h"
#include "platform/clock.h"

namespace {

class rtt_test : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        rtt_new_transfer(r);
    }
    // One exchange whose answer comes after milliseconds; the next wait.
    int answered_after(int milliseconds, int timeout_seconds = 120) {
        rtt_start(r, timeout_seconds);
        rtt_measure(r, r.start_ms + static_cast<uint64_t>(milliseconds));
        return rtt_start(r, timeout_seconds);
    }
    std::string traced() {
        rtt_trace(r);
        std::string log = trace();
        size_t start = log.rfind(": rtt = ");
        if (start == std::string::npos) return "";
        return log.substr(start + 2, log.find('\n', start) - start - 2);
    }
    rtt_record r;
};

// A second until a round trip is known; a fifth of one after, so that a loss costs little more
// than a round trip.
TEST_F(rtt_test, waits_follow_the_round_trips_measured_and_never_fall_under_the_floor) {
    EXPECT_EQ(rtt_start(r, 120), 1000); // nothing measured yet
    EXPECT_EQ(answered_after(2), 200);
    EXPECT_EQ(traced(), "rtt = 0.00200, srtt = 0.002, rttdev = 0.001, currto = 200.");
    rtt_new_transfer(r);
    EXPECT_EQ(answered_after(800), 2400);     // a slow link: 0.8 + 4 x 0.4 seconds
    EXPECT_EQ(answered_after(800), 2000);     // its deviation shrinks
    EXPECT_EQ(answered_after(1800, 2), 2000); // the packet timeout caps the wait
}

TEST_F(rtt_test, each_timeout_doubles_the_wait_up_to_the_packet_timeout_and_the_fifth_gives_up) {
    std::vector<int> waits = {rtt_start(r, 5)};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rtt_expired(r), 0);
        waits.push_back(rtt_start(r, 5));
    }
    EXPECT_EQ(waits, (std::vector<int>{1000, 2000, 4000, 5000, 5000}));
    EXPECT_EQ(rtt_expired(r), -1);
}

// What a resent packet's answer answers nobody knows: it measures nothing, and the longer wait
// holds until a round trip is measured. An answer starts the count of timeouts again.
TEST_F(rtt_test, an_answer_to_a_resent_packet_measures_nothing_and_restarts_the_count) {
    rtt_start(r, 120);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rtt_expired(r), 0);
    EXPECT_EQ(answered_after(50), 16000);
    EXPECT_FALSE(r.measured);
    EXPECT_EQ(answered_after(50), 200); // measured: the estimate again
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rtt_expired(r), 0);
    EXPECT_EQ(rtt_expired(r), -1);
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
