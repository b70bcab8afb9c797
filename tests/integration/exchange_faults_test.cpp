// Peers that repeat, skip, oversize or otherwise break the exchange. The server ends only that
// transfer, says why on the status line and serves the next request; the client reports the
// fault as fatal.
#include "client/session.h"
#include "client_engine.h"
#include "daemon_fixture.h"
#include "diag/shared_flags.h"
#include "lockstep.h"
#include "packet_expect.h"
#include "server/daemon.h"
#include "server/server_window.h"
#include "server/settings.h"
#include "ui/test_backend.h"
#include "wait_until.h"

namespace {

class server_faults : public daemon_test {
  protected:
    // A download of a file of size bytes has begun; the client holds DATA 1.
    uint16_t begin_download(const udp_peer& client, size_t size, const char* mode = "octet") {
        write_file(root_file("down.bin"), pattern_bytes(size, 3));
        client.send_to(port, tftp_request(1, "down.bin", mode));
        return expect_packet(client, 3, 1).from_port;
    }
    // An upload has begun; the client holds ACK 0.
    uint16_t begin_upload(const udp_peer& client, const char* mode = "octet") {
        client.send_to(port, tftp_request(2, "up.bin", mode));
        return expect_packet(client, 4, 0).from_port;
    }
    // The transfer ended with message on the status line and in the trace, without a box; what
    // it opened is closed, and the server goes on serving.
    void expect_ended_by(const std::string& message) {
        ASSERT_TRUE(status_shows(message)) << status();
        EXPECT_TRUE(ui_test_boxes().empty());
        // The transfer's clean-up ends by clearing the transfer kind.
        ASSERT_TRUE(wait_until([&] { return transfer_kind == 0; }, 5000));
        EXPECT_FALSE(holds_open(root()));
        EXPECT_FALSE(file_exists(folder.file("PYSStat.tmp")));
        EXPECT_NE(trace().find(message), std::string::npos);
        EXPECT_TRUE(serves_a_download());
    }
};

TEST_F(server_faults, repeated_data_is_acknowledged_again_and_written_once) {
    udp_peer client;
    uint16_t tid = begin_upload(client);
    std::string first = pattern_bytes(512, 1);
    client.send_to(tid, tftp_packet(3, 1, first));
    expect_packet(client, 4, 1);
    client.send_to(tid, tftp_packet(3, 1, first));
    expect_packet(client, 4, 1);
    client.send_to(tid, tftp_packet(3, 2, "tail"));
    expect_packet(client, 4, 2);
    ASSERT_TRUE(wait_until([] { return transfer_kind == 0; }, 5000));
    EXPECT_EQ(read_file(root_file("up.bin")), first + "tail");
    EXPECT_TRUE(serves_a_download());
}

TEST_F(server_faults, a_repeated_ack_sends_nothing) {
    udp_peer client;
    uint16_t tid = begin_download(client, 1500);
    client.send_to(tid, tftp_packet(4, 1));
    expect_packet(client, 3, 2);
    client.send_to(tid, tftp_packet(4, 1));
    expect_silence(client);
    client.send_to(tid, tftp_packet(4, 2));
    expect_packet(client, 3, 3);
    client.send_to(tid, tftp_packet(4, 3));
    EXPECT_TRUE(status_shows("1500 bytes sent in 0.0 seconds.") ||
                status_shows("1500 bytes sent in 1.0 seconds."));
}

TEST_F(server_faults, a_skipped_block) {
    udp_peer client;
    client.send_to(begin_upload(client), tftp_packet(3, 2, "x"));
    expect_ended_by("recv_DATA: recvblknum > nextblknum.");
}

TEST_F(server_faults, a_stale_block) {
    udp_peer client;
    uint16_t tid = begin_upload(client);
    for (int n = 1; n <= 3; ++n) {
        client.send_to(tid, tftp_packet(3, n, pattern_bytes(512, n)));
        expect_packet(client, 4, n);
    }
    client.send_to(tid, tftp_packet(3, 1, pattern_bytes(512, 1)));
    expect_ended_by("recv_DATA: recvblknum < nextblknum - 1.");
}

TEST_F(server_faults, an_oversized_data_block) {
    udp_peer client;
    client.send_to(begin_upload(client), tftp_packet(3, 1, std::string(513, 'x')));
    expect_ended_by("recv_DATA: Data packet received with length = 513 bytes.");
}

TEST_F(server_faults, an_ack_of_five_bytes) {
    udp_peer client;
    client.send_to(begin_download(client, 1500), tftp_packet(4, 1, "x"));
    expect_ended_by("recv_ACK: ACK packet received with length = 5 bytes.");
}

TEST_F(server_faults, an_ack_of_a_block_not_sent) {
    udp_peer client;
    client.send_to(begin_download(client, 1500), tftp_packet(4, 2));
    expect_ended_by("recv_ACK: recvblknum > nextblknum.");
}

TEST_F(server_faults, an_error_during_the_exchange) {
    udp_peer client;
    client.send_to(begin_download(client, 1500), tftp_packet(5, 0, std::string("cancel") + '\0'));
    expect_ended_by("fsm_error: Error received: op_sent = 3, op_recv = 5.");
}

TEST_F(server_faults, a_datagram_longer_than_any_packet) {
    udp_peer client;
    client.send_to(begin_download(client, 1500), std::string(3000, '\4'));
    expect_ended_by("net_recv: A recvfrom error occurred while attempting to receive.");
}

TEST_F(server_faults, short_datagrams_as_requests) {
    udp_peer client;
    client.send_to(port, std::string("\0\1\0", 3));
    expect_ended_by("recv_RRQ: Receive length = 3 bytes.");
    client.send_to(port, "");
    expect_ended_by("recv_RRQ: Receive length = 0 bytes.");
}

TEST_F(server_faults, an_invalid_opcode) {
    udp_peer client;
    client.send_to(port, tftp_packet(9, 1));
    expect_ended_by("recv_RRQ: Invalid opcode received: 9.");
}

TEST_F(server_faults, a_first_packet_that_is_not_a_request) {
    udp_peer client;
    client.send_to(port, tftp_packet(3, 1, "data"));
    expect_ended_by("fsm_invalid: Protocol botch: op_sent = 0, op_recv = 3.");
}

TEST_F(server_faults, a_cr_followed_by_a_letter_in_netascii) {
    udp_peer client;
    client.send_to(begin_upload(client, "netascii"), tftp_packet(3, 1, "a\rb"));
    expect_ended_by("file_write: Invalid sequence received: CR followed by 0x62.");
}

TEST_F(server_faults, a_netascii_upload_ending_on_a_bare_cr) {
    udp_peer client;
    client.send_to(begin_upload(client, "netascii"), tftp_packet(3, 1, "abc\r"));
    expect_ended_by("file_close: Final character was a CR.");
}

TEST_F(server_faults, a_download_that_needs_block_65536) {
    write_file(root_file("full.bin"), pattern_bytes(65535u * 512u, 9));
    udp_peer client;
    client.send_to(port, tftp_request(1, "full.bin", "octet"));
    lockstep_outcome got = take_blocks(client, 0);
    EXPECT_FALSE(got.completed); // block 65536 went out numbered 0 and was not taken
    client.send_to(got.peer_port, tftp_packet(4, 0));
    expect_ended_by("recv_ACK: recvblknum < nextblknum - 1.");
}

TEST_F(server_faults, an_upload_that_needs_block_65536) {
    udp_peer client;
    uint16_t tid = begin_upload(client);
    std::string block = pattern_bytes(512, 4);
    for (int n = 1; n <= 65535; ++n) {
        client.send_to(tid, tftp_packet(3, n, block));
        auto ack = client.receive(5000);
        ASSERT_TRUE(ack && ack->bytes == tftp_packet(4, n)) << n;
    }
    client.send_to(tid, tftp_packet(3, 0, "x"));
    expect_ended_by("recv_DATA: recvblknum < nextblknum - 1.");
}

TEST_F(server_faults, disabling_stops_a_transfer_and_closes_its_file) {
    udp_peer client;
    begin_download(client, 1500);
    server_disable();
    ASSERT_TRUE(wait_until([] { return daemon_running == 0; }, 5000));
    EXPECT_NE(trace().find("File transfer stopped."), std::string::npos);
    EXPECT_FALSE(holds_open(root()));
    EXPECT_FALSE(file_exists(folder.file("PYSStat.tmp")));
    EXPECT_EQ(status(), "TFTP server is disabled.");
}

class client_faults : public client_engine_test {
  protected:
    udp_peer server_side;
    // A download has begun and the engine has acknowledged DATA 1 of 512 bytes.
    void begin_download() {
        start(1, 1, folder.file("local.bin"));
        take_request();
        server_side.send_to(engine_port_, tftp_packet(3, 1, pattern_bytes(512, 1)));
        expect_packet(server_side, 4, 1);
    }
    // An upload of 1500 bytes has begun and the engine has sent DATA 1.
    void begin_upload() {
        write_file(folder.file("local.bin"), pattern_bytes(1500, 2));
        start(2, 1, folder.file("local.bin"));
        take_request();
        server_side.send_to(engine_port_, tftp_packet(4, 0));
        expect_packet(server_side, 3, 1);
    }
    void expect_fatal(const std::string& message) {
        EXPECT_FALSE(finish());
        ASSERT_FALSE(ui_test_boxes().empty());
        EXPECT_EQ(ui_test_boxes().back().text, message);
        EXPECT_EQ(ui_test_boxes().back().title, "Error");
        EXPECT_EQ(client_like_aborts, 1);
    }
};

TEST_F(client_faults, repeated_data_is_acknowledged_again_and_written_once) {
    begin_download();
    server_side.send_to(engine_port_, tftp_packet(3, 1, pattern_bytes(512, 1)));
    expect_packet(server_side, 4, 1);
    server_side.send_to(engine_port_, tftp_packet(3, 2, "end"));
    expect_packet(server_side, 4, 2);
    ASSERT_TRUE(finish());
    EXPECT_EQ(read_file(folder.file("local.bin")), pattern_bytes(512, 1) + "end");
}

TEST_F(client_faults, a_repeated_ack_sends_nothing) {
    begin_upload();
    server_side.send_to(engine_port_, tftp_packet(4, 1));
    expect_packet(server_side, 3, 2);
    server_side.send_to(engine_port_, tftp_packet(4, 1));
    expect_silence(server_side);
    server_side.send_to(engine_port_, tftp_packet(4, 2));
    expect_packet(server_side, 3, 3);
    server_side.send_to(engine_port_, tftp_packet(4, 3));
    EXPECT_TRUE(finish());
}

TEST_F(client_faults, a_skipped_block) {
    begin_download();
    server_side.send_to(engine_port_, tftp_packet(3, 3, "x"));
    expect_fatal("recv_DATA: recvblknum > nextblknum.");
}

TEST_F(client_faults, a_stale_block) {
    begin_download();
    server_side.send_to(engine_port_, tftp_packet(3, 2, pattern_bytes(512, 2)));
    expect_packet(server_side, 4, 2);
    server_side.send_to(engine_port_, tftp_packet(3, 3, pattern_bytes(512, 3)));
    expect_packet(server_side, 4, 3);
    server_side.send_to(engine_port_, tftp_packet(3, 1, pattern_bytes(512, 1)));
    expect_fatal("recv_DATA: recvblknum < nextblknum - 1.");
}

TEST_F(client_faults, an_oversized_data_block) {
    begin_download();
    server_side.send_to(engine_port_, tftp_packet(3, 2, std::string(513, 'x')));
    expect_fatal("recv_DATA: Data packet received with length = 513 bytes.");
}

TEST_F(client_faults, an_ack_of_five_bytes) {
    begin_upload();
    server_side.send_to(engine_port_, tftp_packet(4, 1, "x"));
    expect_fatal("recv_ACK: ACK packet received with length = 5 bytes.");
}

TEST_F(client_faults, an_ack_of_a_block_not_sent) {
    begin_upload();
    server_side.send_to(engine_port_, tftp_packet(4, 2));
    expect_fatal("recv_ACK: recvblknum > nextblknum.");
}

TEST_F(client_faults, an_error_answering_the_request_ends_the_transfer_quietly) {
    start(1, 1, folder.file("local.bin"));
    take_request();
    server_side.send_to(engine_port_, tftp_packet(5, 1, std::string("File not found.") + '\0'));
    EXPECT_TRUE(finish());
    EXPECT_EQ(last_transfer_end, END_REFUSED);
    ASSERT_EQ(ui_test_boxes().size(), 1u);
    EXPECT_EQ(ui_test_boxes()[0].title, "Transfer error");
}

TEST_F(client_faults, an_error_after_the_first_block_is_fatal) {
    begin_download();
    server_side.send_to(engine_port_, tftp_packet(5, 0, std::string("stop") + '\0'));
    expect_fatal("fsm_error: Error received: op_sent = 4, op_recv = 5.");
}

TEST_F(client_faults, data_answering_a_write_request) {
    write_file(folder.file("local.bin"), "x");
    start(2, 1, folder.file("local.bin"));
    take_request();
    server_side.send_to(engine_port_, tftp_packet(3, 1, "x"));
    expect_fatal("fsm_invalid: Protocol botch: op_sent = 2, op_recv = 3.");
}

TEST_F(client_faults, ack_answering_a_read_request) {
    start(1, 1, folder.file("local.bin"));
    take_request();
    server_side.send_to(engine_port_, tftp_packet(4, 0));
    expect_fatal("fsm_invalid: Protocol botch: op_sent = 1, op_recv = 4.");
}

TEST_F(client_faults, a_download_that_needs_block_65536) {
    start(1, 1, folder.file("local.bin"));
    take_request();
    std::string block = pattern_bytes(512, 5);
    for (int n = 1; n <= 65535; ++n) {
        server_side.send_to(engine_port_, tftp_packet(3, n, block));
        auto ack = server_side.receive(5000);
        ASSERT_TRUE(ack && ack->bytes == tftp_packet(4, n)) << n;
    }
    server_side.send_to(engine_port_, tftp_packet(3, 0, "x"));
    expect_fatal("recv_DATA: recvblknum < nextblknum - 1.");
}

TEST_F(client_faults, an_upload_that_needs_block_65536) {
    write_file(folder.file("local.bin"), pattern_bytes(65535u * 512u, 6));
    start(2, 1, folder.file("local.bin"));
    take_request();
    server_side.send_to(engine_port_, tftp_packet(4, 0));
    lockstep_outcome got = take_blocks(server_side, engine_port_);
    EXPECT_FALSE(got.completed);
    server_side.send_to(engine_port_, tftp_packet(4, 0));
    expect_fatal("recv_ACK: recvblknum < nextblknum - 1.");
}

} // namespace
