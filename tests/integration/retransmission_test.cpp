// After each wait that runs out the last packet goes out again, byte for byte, a second after it
// first went and then at twice the wait, up to the packet timeout; the fifth timeout without an
// answer between gives up.
#include "client_engine.h"
#include "daemon_fixture.h"
#include "diag/shared_flags.h"
#include "engine/endpoint.h"
#include "packet_expect.h"
#include "server/daemon.h"
#include "server/server_controls.h"
#include "ui/ui.h"
#include "wait_until.h"

using namespace tftps_controls;

namespace {

// A wait that runs out takes one or two seconds with a packet timeout of two.
constexpr int beyond_timeout_ms = 4000;

class server_retransmission : public daemon_test {
  protected:
    // The client asks for a file of four blocks and leaves DATA 1 unanswered: it comes again
    // after each of two timeouts.
    datagram first_block_sent_three_times(udp_peer& client) {
        packet_timeout = 2;
        write_file(root_file("slow.bin"), pattern_bytes(2000, 8));
        client.send_to(port, tftp_request(1, "slow.bin", "octet"));
        datagram first = expect_packet(client, 3, 1);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(next_bytes(client, beyond_timeout_ms), first.bytes);
        return first;
    }
    // The client took DATA 1 of a file of four blocks and acknowledged it: DATA 2 is out.
    datagram second_block_sent(udp_peer& client) {
        write_file(root_file("slow.bin"), pattern_bytes(2000, 8));
        client.send_to(port, tftp_request(1, "slow.bin", "octet"));
        datagram first = expect_packet(client, 3, 1);
        client.send_to(first.from_port, tftp_packet(4, 1));
        return expect_packet(client, 3, 2);
    }
};

TEST_F(server_retransmission,
       an_answer_restarts_the_count_and_the_fifth_timeout_in_a_row_gives_up) {
    udp_peer client;
    datagram first = first_block_sent_three_times(client);
    client.send_to(first.from_port, tftp_packet(4, 1)); // after two timeouts
    datagram second = expect_packet(client, 3, 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(next_bytes(client, beyond_timeout_ms), second.bytes);
    expect_silence(client, beyond_timeout_ms); // the fifth gives up
    EXPECT_TRUE(status_shows("The file transfer timed out."));
    EXPECT_NE(trace().find("The file transfer timed out."), std::string::npos);
    EXPECT_TRUE(wait_until([&] { return transfers_running == 0 && !holds_open(root()); }, 5000));
    EXPECT_TRUE(serves_a_download());
}

// A forged request names a victim that never answers: it gets three copies, not five.
TEST_F(server_retransmission, a_peer_that_never_answers_gets_three_copies_of_the_first_reply) {
    udp_peer victim;
    first_block_sent_three_times(victim);
    expect_silence(victim, 2 * beyond_timeout_ms); // when the fourth and fifth would go
    EXPECT_TRUE(status_shows("The file transfer timed out."));
}

// A peer that repeats its last ACK does not hold back the block it never got: the wait for the
// right ACK runs out as it would without the repeats.
TEST_F(server_retransmission, repeated_acks_do_not_hold_back_a_lost_block) {
    packet_timeout = 2;
    udp_peer client;
    datagram lost = second_block_sent(client);
    std::optional<datagram> again;
    for (int i = 0; i < 5 && !again; ++i) { // the same ACK once a second, within every wait
        client.send_to(lost.from_port, tftp_packet(4, 1));
        again = client.receive(1000);
    }
    ASSERT_TRUE(again);
    EXPECT_EQ(again->bytes, lost.bytes);
}

// Once a round trip is measured a lost block costs a fifth of a second, not the second a wait
// lasts before it.
TEST_F(server_retransmission, once_a_round_trip_is_measured_a_lost_block_goes_again_sooner) {
    udp_peer client;
    datagram lost = second_block_sent(client);
    EXPECT_EQ(next_bytes(client, 800), lost.bytes);
}

using client_retransmission = client_engine_test;

TEST_F(client_retransmission,
       the_request_and_blocks_go_out_again_until_the_fifth_timeout_in_a_row) {
    packet_timeout = 2;
    write_file(folder.file("local.bin"), pattern_bytes(2000, 9));
    start(2, 1, folder.file("local.bin"));
    std::string request = take_request();
    EXPECT_EQ(take_request(), request); // a timeout sends the request again
    udp_peer server_side;
    server_side.send_to(engine_port_, tftp_packet(4, 0));
    datagram first = expect_packet(server_side, 3, 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(next_bytes(server_side, beyond_timeout_ms), first.bytes);
    EXPECT_TRUE(finish());
    EXPECT_EQ(outcome(), transfer_outcome::kind::timed_out);
    expect_silence(server_side);
    EXPECT_EQ(ui_get_text(IDC_STATUS, 100), "The file transfer timed out.");
}

} // namespace
