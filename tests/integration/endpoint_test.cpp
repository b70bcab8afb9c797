// The transfer endpoint's receive: what is queued, the packet timeout, the stop, and datagrams
// that do not come from the peer.
#include "diag/shared_flags.h"
#include "diag/trace.h"
#include "endpoint_fixture.h"
#include "engine/endpoint.h"
#include "engine/packet.h"
#include "packet_expect.h"
#include "platform/socket.h"
#include "server/server_role.h"
#include "ui/test_backend.h"

#include <chrono>
#include <cstdio>
#include <sys/stat.h>
#include <thread>

namespace {

using endpoint_recv_test = endpoint_test;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

long elapsed_ms(steady_clock::time_point since) {
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - since).count();
}

// Raises the stop flag after a pause, from another thread, as the window does.
std::thread stop_after(int ms) {
    return std::thread([ms] {
        std::this_thread::sleep_for(milliseconds(ms));
        stop_raise();
    });
}

// Waits until a datagram is queued at the engine's socket.
bool queued(const transfer& t) { return wait_readable(t.socket, -1, 2000) == 1; }

std::string received(const transfer& t, int length) {
    return std::string(reinterpret_cast<const char*>(t.recv_buf.data()), static_cast<size_t>(length));
}

TEST_F(endpoint_recv_test, takes_what_is_queued_without_waiting) {
    EXPECT_EQ(net_take(*t), -1);
    peer->send_to(engine_port(), "queued datagram");
    ASSERT_TRUE(queued(*t));
    EXPECT_EQ(net_take(*t), 15);
    EXPECT_EQ(received(*t, 15), "queued datagram");
    EXPECT_EQ(net_take(*t), -1);
}

TEST_F(endpoint_recv_test, times_out_after_the_wait_and_not_before) {
    net_wait_begin(*t, 2000);
    auto start = steady_clock::now();
    EXPECT_EQ(net_recv(*t), NET_TIMED_OUT);
    long waited = elapsed_ms(start);
    EXPECT_GE(waited, 2000);
    EXPECT_LT(waited, 6000);
}

TEST_F(endpoint_recv_test, server_and_client_see_a_stop_during_a_wait) {
    for (const role_profile* role : {&server_role, &client_like_role()}) {
        use_role(*role);
        stop_clear();
        std::thread window = stop_after(200);
        auto start = steady_clock::now();
        EXPECT_EQ(net_recv(*t), NET_STOPPED);
        window.join();
        EXPECT_LT(elapsed_ms(start), 3000);
    }
}

TEST_F(endpoint_recv_test, a_stop_drops_an_arrived_datagram_in_the_server_only) {
    peer->send_to(engine_port(), "late");
    ASSERT_TRUE(queued(*t));
    stop_raise();
    EXPECT_EQ(net_recv(*t), NET_STOPPED);

    use_role(client_like_role());
    EXPECT_EQ(net_recv(*t), 4);
}

TEST_F(endpoint_recv_test, answers_strays_with_error_5_and_keeps_waiting_for_the_peer) {
    udp_peer other_port;                           // the peer's address, another port
    udp_peer other_host(0x7f000002, peer->port()); // another address, the peer's port
    other_port.send_to(engine_port(), "stray one");
    other_host.send_to(engine_port(), "stray two");
    std::thread late_peer([&] {
        std::this_thread::sleep_for(milliseconds(300));
        peer->send_to(engine_port(), "from the peer");
    });
    net_wait_begin(*t, 5000);
    int length = net_recv(*t);
    late_peer.join();
    EXPECT_EQ(length, 13);
    std::string expected = "net_recv: Received from 127.0.0.1, port " +
                           std::to_string(other_port.port()) + ", expected from port " +
                           std::to_string(peer->port()) + ".";
    EXPECT_NE(trace().find(expected), std::string::npos) << trace();
    const std::string unknown_tid = tftp_packet(5, 5, std::string("Unknown transfer ID.") + '\0');
    EXPECT_EQ(next_bytes(other_port), unknown_tid);
    EXPECT_EQ(next_bytes(other_host), unknown_tid);
    EXPECT_FALSE(peer->receive(0)); // the transfer itself is not disturbed

    // Told once a second at most, and an ERROR never: two ports never answer each other for ever.
    udp_peer error_port;
    error_port.send_to(engine_port(), unknown_tid);
    other_port.send_to(engine_port(), "stray three");
    peer->send_to(engine_port(), "from the peer");
    EXPECT_EQ(net_recv(*t), 13);
    EXPECT_FALSE(error_port.receive(200));
    EXPECT_FALSE(other_port.receive(0));
}

TEST_F(endpoint_recv_test, strays_do_not_stretch_the_timeout) {
    std::atomic<bool> done{false};
    // The receiver traces every stray into a pipe that is read slowly, so that it falls behind
    // the senders and something is always waiting to be read. They give up after eight seconds.
    ASSERT_EQ(mkfifo(folder.file("slow.log").c_str(), 0600), 0);
    std::thread reader([&] {
        FILE* pipe = std::fopen(folder.file("slow.log").c_str(), "r");
        char line[256];
        while (std::fgets(line, sizeof line, pipe))
            if (!done) std::this_thread::sleep_for(std::chrono::microseconds(500));
        std::fclose(pipe);
    });
    ASSERT_EQ(trace_open(true, folder.file("slow.log")), 1);
    auto chatter = [&] {
        udp_peer stray;
        auto until = steady_clock::now() + std::chrono::seconds(8);
        while (!done && steady_clock::now() < until)
            stray.send_burst(engine_port(), "noise", 64);
    };
    std::thread first(chatter), second(chatter);
    net_wait_begin(*t, 2000);
    auto start = steady_clock::now();
    EXPECT_EQ(net_recv(*t), NET_TIMED_OUT);
    long waited = elapsed_ms(start);
    done = true;
    first.join();
    second.join();
    trace_close();
    reader.join();
    EXPECT_LT(waited, 6000);
}

TEST_F(endpoint_recv_test, client_takes_the_peer_from_the_first_answer) {
    use_role(client_like_role());
    udp_peer server_transfer_port, other_host(0x7f000002);
    t->first_receive = true; // the request went to peer's port, the server's well-known one
    other_host.send_to(engine_port(), "forged first");
    server_transfer_port.send_to(engine_port(), "first");
    EXPECT_EQ(net_recv(*t), 5);
    EXPECT_FALSE(t->first_receive);
    EXPECT_EQ(t->peer.port, server_transfer_port.port());
    EXPECT_EQ(next_bytes(other_host).substr(0, 4), tftp_packet(5, 5)); // only the server answers

    peer->send_to(engine_port(), "old port"); // now a stray
    server_transfer_port.send_to(engine_port(), "second");
    EXPECT_EQ(net_recv(*t), 6);
}

TEST_F(endpoint_recv_test, client_takes_a_first_answer_from_the_request_port) {
    use_role(client_like_role());
    t->first_receive = true;
    peer->send_to(engine_port(), "same port");
    EXPECT_EQ(net_recv(*t), 9);
    EXPECT_EQ(t->peer.port, peer->port());
}

// A small window never shrinks the buffer below the system's own: a burst of duplicates
// would be dropped. A large one grows it.
TEST_F(endpoint_recv_test, holding_a_window_never_shrinks_the_receive_buffer) {
    int usual = sock_set_buffers(t->socket, 0);
    EXPECT_EQ(net_hold_window(*t, 512, 8), 8);
    EXPECT_EQ(sock_set_buffers(t->socket, 0), usual);
    net_hold_window(*t, 65464, 64);
    EXPECT_GT(sock_set_buffers(t->socket, 0), usual);
}

} // namespace
