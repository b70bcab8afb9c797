// Peers that repeat, skip, oversize or otherwise break the exchange. The server ends only that
// transfer, says why on the status line and serves the next request; the client reports the
// fault as fatal.
#include "client/session.h"
#include "client_engine.h"
#include "daemon_fixture.h"
#include "diag/status.h"
#include "settings_store.h"
#include "diag/shared_flags.h"
#include "lockstep.h"
#include "packet_expect.h"
#include "server/daemon.h"
#include "server/server_window.h"
#include "server/server_run.h"
#include "server/settings.h"
#include "ui/test_backend.h"
#include "wait_until.h"

#include <regex>

namespace {

// Shorter than the retransmission floor: what comes within it is an answer to the datagram, not
// the timer's resend.
constexpr int within_the_wait_ms = 150;

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
        ASSERT_TRUE(wait_until([&] { return transfers_running == 0; }, 5000));
        EXPECT_FALSE(holds_open(root()));
        EXPECT_FALSE(file_exists(status_file_path()));
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
    ASSERT_TRUE(wait_until([] { return transfers_running == 0; }, 5000));
    EXPECT_EQ(read_file(root_file("up.bin")), first + "tail");
    EXPECT_TRUE(serves_a_download());
}

TEST_F(server_faults, a_repeated_ack_sends_nothing) {
    udp_peer client;
    uint16_t tid = begin_download(client, 1500);
    client.send_to(tid, tftp_packet(4, 1));
    expect_packet(client, 3, 2);
    client.send_to(tid, tftp_packet(4, 1));
    expect_silence(client, within_the_wait_ms);
    client.send_to(tid, tftp_packet(4, 2));
    expect_packet(client, 3, 3);
    client.send_to(tid, tftp_packet(4, 3));
    EXPECT_TRUE(wait_until(
        [&] { return std::regex_match(status(), std::regex(R"(1500 bytes sent in \d\.\d seconds\.)")); },
        10000))
        << status();
}

// One step of a peer that breaks the exchange: a datagram, and the block its ACK or DATA must
// name (-1: no answer is awaited).
struct step {
    std::string datagram;
    int answer;
};

struct fault_case {
    const char* name;
    int begins;               // 0: at the listening port; 1 a download; 2 an upload
    const char* mode;         // of the transfer begun
    std::vector<step> steps;  // the last one is the fault
    std::string message;      // the transfer ends with it
};

std::string data(int block, size_t size, unsigned seed = 1) {
    return tftp_packet(3, block, pattern_bytes(size, seed));
}

const fault_case server_fault_cases[] = {
    {"a_skipped_block", 2, "octet", {{tftp_packet(3, 2, "x"), -1}},
     "recv_DATA: recvblknum > nextblknum."},
    {"a_stale_block", 2, "octet",
     {{data(1, 512, 1), 1}, {data(2, 512, 2), 2}, {data(3, 512, 3), 3}, {data(1, 512, 1), -1}},
     "recv_DATA: recvblknum < nextblknum - 1."},
    {"an_oversized_data_block", 2, "octet", {{data(1, 513), -1}},
     "recv_DATA: Data packet received with length = 513 bytes."},
    {"an_ack_of_five_bytes", 1, "octet", {{tftp_packet(4, 1, "x"), -1}},
     "recv_ACK: ACK packet received with length = 5 bytes."},
    {"an_ack_of_a_block_not_sent", 1, "octet", {{tftp_packet(4, 2), -1}},
     "recv_ACK: recvblknum > nextblknum."},
    {"an_error_during_the_exchange", 1, "octet",
     {{tftp_packet(5, 0, std::string("Transfer cancelled by the user.") + '\0'), -1}},
     "fsm_error: Error received: op_sent = 3, op_recv = 5. The client said: Transfer cancelled "
     "by the user."},
    {"a_datagram_longer_than_any_packet", 1, "octet", {{std::string(3000, '\4'), -1}},
     "net_recv: A recvfrom error occurred while attempting to receive."},
    {"a_cr_followed_by_a_letter_in_netascii", 2, "netascii", {{tftp_packet(3, 1, "a\rb"), -1}},
     "file_write: Invalid sequence received: CR followed by 0x62."},
    {"a_netascii_upload_ending_on_a_bare_cr", 2, "netascii", {{tftp_packet(3, 1, "abc\r"), -1}},
     "file_close: Final character was a CR."},
    {"a_short_datagram_as_a_request", 0, "", {{std::string("\0\1\0", 3), -1}},
     "recv_RRQ: Receive length = 3 bytes."},
    {"an_empty_datagram_as_a_request", 0, "", {{"", -1}}, "recv_RRQ: Receive length = 0 bytes."},
    {"an_invalid_opcode", 0, "", {{tftp_packet(9, 1), -1}},
     "recv_RRQ: Invalid opcode received: 9."},
    {"a_first_packet_that_is_not_a_request", 0, "", {{tftp_packet(3, 1, "data"), -1}},
     "fsm_invalid: Protocol botch: op_sent = 0, op_recv = 3."},
};

std::string fault_name(const testing::TestParamInfo<fault_case>& info) { return info.param.name; }

// The peer is told ERROR 4 of every fault of its own making, but for its own ERROR and anything
// sent before a transfer began.
bool peer_told(const fault_case& c) {
    return c.begins != 0 && c.steps.back().datagram.compare(0, 2, std::string("\0\5", 2)) != 0;
}

void PrintTo(const fault_case& c, std::ostream* out) { *out << c.name; }

class server_fault_table : public server_faults, public testing::WithParamInterface<fault_case> {};

TEST_P(server_fault_table, ends_the_transfer_only) {
    const fault_case& c = GetParam();
    udp_peer client;
    uint16_t to = c.begins == 1 ? begin_download(client, 1500, c.mode)
                  : c.begins == 2 ? begin_upload(client, c.mode)
                                  : port;
    for (const step& s : c.steps) {
        client.send_to(to, s.datagram);
        if (s.answer >= 0) expect_packet(client, c.begins == 2 ? 4 : 3, s.answer);
    }
    if (peer_told(c)) expect_packet(client, 5, 4);
    expect_ended_by(c.message);
    expect_silence(client, 0);
}

INSTANTIATE_TEST_SUITE_P(faults, server_fault_table, testing::ValuesIn(server_fault_cases),
                         fault_name);

// Block numbers roll over from 65535 to 0, with the extensions or without: a file that needs
// block 65536 goes across whole either way, both ways, in both programs.
TEST_F(server_faults, a_download_rolls_over_past_block_65535) {
    const std::string content = pattern_bytes(65535u * 512u, 9); // the last, empty block is 0
    write_file(root_file("full.bin"), content);
    udp_peer client;
    client.send_to(port, tftp_request(1, "full.bin", "octet"));
    lockstep_outcome got = take_blocks(client, 0);
    EXPECT_TRUE(got.completed);
    EXPECT_TRUE(got.wire == content);
}

TEST_F(server_faults, an_upload_rolls_over_past_block_65535) {
    udp_peer client;
    uint16_t tid = begin_upload(client);
    const std::string content = pattern_bytes(65535u * 512u + 1, 4);
    EXPECT_TRUE(send_blocks(client, tid, content).completed);
    EXPECT_TRUE(wait_until([&] { return read_file(root_file("up.bin")) == content; }, 5000));
}

TEST_F(server_faults, disabling_stops_every_transfer_tells_its_client_and_closes_its_file) {
    serve_settings([](server_settings& s) { s.MaxTransfers = 2; });
    udp_peer client, uploader;
    begin_download(client, 1500);
    begin_upload(uploader);
    server_disable();
    for (const udp_peer* told : {&client, &uploader})
        EXPECT_EQ(next_bytes(*told),
                  tftp_packet(5, 0, std::string("Server shutting down.") + '\0'));
    ASSERT_TRUE(wait_until([] { return daemon_running == 0; }, 5000));
    EXPECT_EQ(names_in(root()), std::vector<std::string>{"down.bin"}); // no upload half written
    EXPECT_NE(trace().find("File transfer stopped."), std::string::npos);
    EXPECT_FALSE(holds_open(root()));
    EXPECT_FALSE(file_exists(status_file_path()));
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
        ASSERT_EQ(ui_test_boxes().size(), 1u);
        EXPECT_EQ(last_box_shown().text, message);
        EXPECT_EQ(last_box_shown().title, "Error");
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
    expect_silence(server_side, within_the_wait_ms);
    server_side.send_to(engine_port_, tftp_packet(4, 2));
    expect_packet(server_side, 3, 3);
    server_side.send_to(engine_port_, tftp_packet(4, 3));
    EXPECT_TRUE(finish());
}

const fault_case client_fault_cases[] = {
    {"a_skipped_block", 1, "octet", {{tftp_packet(3, 3, "x"), -1}},
     "recv_DATA: recvblknum > nextblknum."},
    {"a_stale_block", 1, "octet",
     {{data(2, 512, 2), 2}, {data(3, 512, 3), 3}, {data(1, 512, 1), -1}},
     "recv_DATA: recvblknum < nextblknum - 1."},
    {"an_oversized_data_block", 1, "octet", {{data(2, 513), -1}},
     "recv_DATA: Data packet received with length = 513 bytes."},
    {"an_ack_of_five_bytes", 2, "octet", {{tftp_packet(4, 1, "x"), -1}},
     "recv_ACK: ACK packet received with length = 5 bytes."},
    {"an_ack_of_a_block_not_sent", 2, "octet", {{tftp_packet(4, 2), -1}},
     "recv_ACK: recvblknum > nextblknum."},
    {"an_error_after_the_first_block", 1, "octet",
     {{tftp_packet(5, 3, std::string("Disk full or allocation exceeded.") + '\0'), -1}},
     "fsm_error: Error received: op_sent = 4, op_recv = 5. The server said: Disk full or "
     "allocation exceeded."},
    // Begun but not answered yet: the request is out.
    {"data_answering_a_write_request", -2, "octet", {{tftp_packet(3, 1, "x"), -1}},
     "fsm_invalid: Protocol botch: op_sent = 2, op_recv = 3."},
    {"ack_answering_a_read_request", -1, "octet", {{tftp_packet(4, 0), -1}},
     "fsm_invalid: Protocol botch: op_sent = 1, op_recv = 4."},
};

class client_fault_table : public client_faults, public testing::WithParamInterface<fault_case> {};

TEST_P(client_fault_table, is_fatal) {
    const fault_case& c = GetParam();
    if (c.begins == 1) begin_download();
    if (c.begins == 2) begin_upload();
    if (c.begins < 0) {
        write_file(folder.file("local.bin"), "x");
        start(-c.begins, 1, folder.file("local.bin"));
        take_request();
    }
    for (const step& s : c.steps) {
        server_side.send_to(engine_port_, s.datagram);
        if (s.answer >= 0) expect_packet(server_side, c.begins == 2 ? 3 : 4, s.answer);
    }
    expect_fatal(c.message);
    if (peer_told(c)) expect_packet(server_side, 5, 4);
}

INSTANTIATE_TEST_SUITE_P(faults, client_fault_table, testing::ValuesIn(client_fault_cases),
                         fault_name);

TEST_F(client_faults, an_error_answering_the_request_ends_the_transfer_quietly) {
    start(1, 1, folder.file("local.bin"));
    take_request();
    server_side.send_to(engine_port_, tftp_packet(5, 1, std::string("File not found.") + '\0'));
    EXPECT_TRUE(finish());
    EXPECT_EQ(outcome(), transfer_outcome::kind::refused);
}

TEST_F(client_faults, a_download_rolls_over_past_block_65535) {
    start(1, 1, folder.file("local.bin"));
    take_request();
    const std::string content = pattern_bytes(65535u * 512u, 5);
    EXPECT_TRUE(send_blocks(server_side, engine_port_, content).completed);
    ASSERT_TRUE(finish());
    EXPECT_TRUE(read_file(folder.file("local.bin")) == content);
}

TEST_F(client_faults, an_upload_rolls_over_past_block_65535) {
    const std::string content = pattern_bytes(65535u * 512u + 1, 6);
    write_file(folder.file("local.bin"), content);
    start(2, 1, folder.file("local.bin"));
    take_request();
    server_side.send_to(engine_port_, tftp_packet(4, 0));
    lockstep_outcome got = take_blocks(server_side, engine_port_);
    EXPECT_TRUE(got.completed);
    ASSERT_TRUE(finish());
    EXPECT_TRUE(got.wire == content);
}

} // namespace
