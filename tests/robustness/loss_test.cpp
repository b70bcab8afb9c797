// Lost, duplicated and reordered datagrams between real peers, through a relay that follows a
// fixed schedule: our server with the tftp-hpa client, our client with tftpd-hpa. Files arrive
// byte for byte, or the fifth timeout in a row gives up.
#include "lossy_relay.h"
#include "packet_expect.h"
#include "peers.h"
#include "server_process.h"
#include "tftpd_hpa.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

constexpr size_t file_size = 100 * 512 - 1; // 100 blocks
constexpr int blocks = 100;

enum { DATA = 3, ACK = 4, OACK = 6 };

// A server of either kind serving file.bin, with up.bin ready to upload and got.bin the download.
template <typename Server>
class through_relay : public testing::Test {
  protected:
    void SetUp() override {
        if constexpr (requires { server.unavailable(); })
            if (!server.unavailable().empty()) GTEST_SKIP() << server.unavailable();
        write_file(server.root() + "/file.bin", content);
        write_file(local.file("up.bin"), content);
    }
    bool got_whole_file() { return read_file(local.file("got.bin")) == content; }

    std::string content = pattern_bytes(file_size, 21);
    Server server;
    temp_folder_owner local;
};

// Our server with a two-second packet timeout, downloads and uploads allowed.
struct pellsd_serving : server_process {
    pellsd_serving() : server_process({"--allow-download", "--allow-upload", "--timeout", "2"}) {}
};

class pellsd_through_relay : public through_relay<pellsd_serving> {
  protected:
    std::vector<std::string> client(const lossy_relay& relay, const char* direction) {
        std::string port = std::to_string(relay.port());
        return std::string(direction) == "get"
                   ? tftp_hpa(port, "get", "file.bin", local.file("got.bin"))
                   : tftp_hpa(port, "put", local.file("up.bin"), "up.bin");
    }
    run_result get(const lossy_relay& relay) { return run_program(client(relay, "get"), local.path()); }
    // Started and left to itself: a client that may still be retrying when the test ends.
    std::unique_ptr<child_process> start(const lossy_relay& relay, const char* direction) {
        std::vector<std::string> command = client(relay, direction);
        std::string program = program_path(command.front());
        command.erase(command.begin());
        return std::make_unique<child_process>(program, command, local.path(), local.path());
    }
    // Its row says so: the one line of a transfer.
    bool timed_out() {
        return wait_until(
            [&] { return server.process().out().find(" timed out\n") != std::string::npos; },
            30000);
    }
};

TEST_F(pellsd_through_relay, a_lost_data_block_is_sent_again) {
    lossy_relay relay(server.port(), drop_first(false, DATA, {5}));
    get(relay);
    EXPECT_TRUE(got_whole_file());
    EXPECT_EQ(relay.count(false, DATA), blocks + 1);
}

TEST_F(pellsd_through_relay, a_lost_ack_is_made_good_by_the_next_data) {
    lossy_relay relay(server.port(), drop_first(true, ACK, {5}));
    get(relay);
    EXPECT_TRUE(got_whole_file());
}

TEST_F(pellsd_through_relay, a_lost_final_ack_leaves_the_client_with_the_whole_file) {
    lossy_relay relay(server.port(), drop_first(true, ACK, {blocks}, 100));
    get(relay);
    EXPECT_TRUE(got_whole_file());
    // The server, never told, sends its last block again and finally gives up, no summary shown.
    EXPECT_TRUE(timed_out());
    EXPECT_EQ(server.summaries(), 0u);
}

TEST_F(pellsd_through_relay, an_upload_whose_final_ack_is_lost_is_stored_whole) {
    lossy_relay relay(server.port(), drop_first(false, ACK, {blocks}, 100));
    // The client, never told, keeps sending its last block until it gives up: not waited for.
    auto client = start(relay, "put");
    EXPECT_TRUE(server.summaries_shown(1));
    EXPECT_TRUE(read_file(server.root() + "/up.bin") == content);
}

// Each loss is made good about a second after it: they never add up to giving up.
TEST_F(pellsd_through_relay, losses_spread_over_a_transfer_never_add_up) {
    lossy_relay relay(server.port(), drop_first(false, DATA, {10, 20, 30, 40, 50, 60}));
    auto start = std::chrono::steady_clock::now();
    get(relay);
    EXPECT_TRUE(got_whole_file());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(server.process().out().find("timed out"), std::string::npos);
}

TEST_F(pellsd_through_relay, the_fifth_timeout_in_a_row_gives_up) {
    lossy_relay relay(server.port(), drop_first(false, DATA, {10}, 100));
    auto client = start(relay, "get");
    EXPECT_TRUE(timed_out());
    EXPECT_TRUE(server.trace_shows("The file transfer timed out."));
    EXPECT_EQ(relay.count(false, DATA, 10), 5);
    EXPECT_EQ(relay.count(false, DATA, 11), 0);
}

// With the factory settings a client that vanished without a word holds its slot for half a
// minute, not ten: the next client is served then.
TEST(vanished_client, frees_the_only_slot_well_within_a_minute) {
    server_process server({"--allow-download"});
    write_file(server.root() + "/a.bin", pattern_bytes(3000, 3));
    udp_peer vanished, next;
    vanished.send_to(server.port(), tftp_request(1, "a.bin", "octet"));
    expect_packet(vanished, 3, 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(wait_until(
        [&] {
            next.send_to(server.port(), tftp_request(1, "a.bin", "octet"));
            auto got = next.receive(1000);
            return got && got->bytes.substr(0, 4) == tftp_packet(3, 1);
        },
        50000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(50));
}

TEST_F(pellsd_through_relay, every_datagram_twice_brings_no_storm) {
    lossy_relay relay(server.port(), duplicate_all());
    get(relay);
    EXPECT_TRUE(got_whole_file());
    // Each block went out once: a repeated ACK makes the server send nothing.
    EXPECT_EQ(relay.count(false, DATA), blocks);
    EXPECT_LE(relay.count(true, ACK), 2 * blocks);
}

TEST_F(pellsd_through_relay, a_block_overtaken_by_its_own_retransmission) {
    lossy_relay relay(server.port(), [](const relayed& r) {
        bool late = !r.to_server && r.opcode == DATA && r.number == 5 && r.seen == 0;
        return relay_action{late ? relay_action::delay : relay_action::pass, 2600};
    });
    get(relay);
    EXPECT_TRUE(got_whole_file());
}

class pellcl_through_relay : public through_relay<tftpd_hpa> {
  protected:
    run_result get(const lossy_relay& relay) {
        return run_program({PELLCL_PATH, "--get", "127.0.0.1:" + std::to_string(relay.port()),
                            "file.bin", local.file("got.bin"), "--timeout", "2"},
                           local.path(), 60000);
    }
};

TEST_F(pellcl_through_relay, a_lost_data_block) {
    lossy_relay relay(server.port(), drop_first(false, DATA, {5}));
    EXPECT_EQ(get(relay).status, 0);
    EXPECT_TRUE(got_whole_file());
}

TEST_F(pellcl_through_relay, a_lost_ack) {
    lossy_relay relay(server.port(), drop_first(true, ACK, {5}));
    EXPECT_EQ(get(relay).status, 0);
    EXPECT_TRUE(got_whole_file());
}

TEST_F(pellcl_through_relay, a_lost_final_ack) {
    lossy_relay relay(server.port(), drop_first(true, ACK, {blocks}, 100));
    EXPECT_EQ(get(relay).status, 0);
    EXPECT_TRUE(got_whole_file());
}

// Each block dropped twice keeps the server silent past the client's 2-second wait.
TEST_F(pellcl_through_relay, four_timeouts_in_one_transfer_still_complete) {
    lossy_relay relay(server.port(), drop_first(false, DATA, {10, 20, 30, 40}, 2));
    run_result r = get(relay);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(got_whole_file());
    // The client only sends an ACK again after a wait of its own ran out.
    for (int block : {9, 19, 29, 39})
        EXPECT_GE(relay.count(true, ACK, block), 2) << block;
}

TEST_F(pellcl_through_relay, the_fifth_timeout_in_a_row_gives_up) {
    lossy_relay relay(server.port(), drop_first(false, DATA, {10}, 100));
    run_result r = get(relay);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The file transfer timed out."), std::string::npos) << r.err;
}

TEST_F(pellcl_through_relay, every_datagram_twice_brings_no_storm) {
    lossy_relay relay(server.port(), duplicate_all());
    EXPECT_EQ(get(relay).status, 0);
    EXPECT_TRUE(got_whole_file());

    lossy_relay upload(server.port(), duplicate_all());
    run_result put =
        run_program({PELLCL_PATH, "--put", "127.0.0.1:" + std::to_string(upload.port()),
                     local.file("up.bin"), "up.bin", "--timeout", "2"},
                    local.path(), 60000);
    EXPECT_EQ(put.status, 0) << put.err;
    EXPECT_TRUE(read_file(server.root() + "/up.bin") == content);
    // Our client sent each block once, whatever came back twice.
    EXPECT_EQ(upload.count(true, DATA), blocks);
}

TEST_F(pellcl_through_relay, a_block_overtaken_by_its_own_retransmission) {
    lossy_relay relay(server.port(), [](const relayed& r) {
        bool late = !r.to_server && r.opcode == DATA && r.number == 5 && r.seen == 0;
        return relay_action{late ? relay_action::delay : relay_action::pass, 1500};
    });
    EXPECT_EQ(get(relay).status, 0);
    EXPECT_TRUE(got_whole_file());
}

// Windows of eight blocks between our programs: what is lost or doubled inside a window, and the
// OACK and its ACK lost, end byte for byte.
struct pellsd_extended : server_process {
    pellsd_extended()
        : server_process({"--allow-download", "--allow-upload", "--extensions", "--timeout", "2"}) {}
};

class windows_through_relay : public through_relay<pellsd_extended> {
  protected:
    // The client waits timeout seconds for each packet: long enough, where nothing is lost,
    // that a machine busy with other tests never makes it send anything again.
    run_result transfer(const lossy_relay& relay, const char* direction,
                        const char* timeout = "2") {
        std::string host = "127.0.0.1:" + std::to_string(relay.port());
        bool get = std::string(direction) == "--get";
        return run_program({PELLCL_PATH, direction, host, get ? "file.bin" : local.file("up.bin"),
                            get ? local.file("got.bin") : "up.bin", "--blksize", "512",
                            "--windowsize", "8", "--timeout", timeout},
                           local.path(), 60000);
    }
    bool put_whole_file() { return read_file(server.root() + "/up.bin") == content; }
};

lossy_relay::rule drop_first_oack() {
    return [](const relayed& r) {
        return relay_action{!r.to_server && r.opcode == OACK && r.seen == 0 ? relay_action::drop
                                                                            : relay_action::pass};
    };
}

TEST_F(windows_through_relay, a_lost_oack_and_a_lost_ack_0) {
    lossy_relay oack(server.port(), drop_first_oack());
    EXPECT_EQ(transfer(oack, "--get").status, 0);
    EXPECT_TRUE(got_whole_file());
    lossy_relay ack_0(server.port(), drop_first(true, ACK, {0}));
    EXPECT_EQ(transfer(ack_0, "--get").status, 0);
    EXPECT_TRUE(got_whole_file());
    lossy_relay upload_oack(server.port(), drop_first_oack());
    EXPECT_EQ(transfer(upload_oack, "--put").status, 0);
    EXPECT_TRUE(put_whole_file());
}

TEST_F(windows_through_relay, blocks_lost_inside_a_window_are_sent_again_from_the_gap) {
    lossy_relay relay(server.port(), drop_first(false, DATA, {5, 12, 40}));
    EXPECT_EQ(transfer(relay, "--get").status, 0);
    EXPECT_TRUE(got_whole_file());
    // What went again is what followed each gap in its window, not the whole file.
    EXPECT_LE(relay.count(false, DATA), blocks + 3 * 8);
    lossy_relay upload(server.port(), drop_first(true, DATA, {5, 12, 40}));
    EXPECT_EQ(transfer(upload, "--put").status, 0);
    EXPECT_TRUE(put_whole_file());
}

// The second window's first block lost: the receiver's repeated ACK of the first window (after
// that window's own) says so, and the window goes again at once, where the receiver's wait
// running out would have sent it a third time. atftp's windowed client is answered as well.
TEST_F(windows_through_relay, a_window_whose_first_block_is_lost_goes_again_at_once) {
    for (bool get : {true, false}) {
        lossy_relay relay(server.port(), drop_first(!get, DATA, {9}));
        EXPECT_EQ(transfer(relay, get ? "--get" : "--put").status, 0);
        EXPECT_EQ(relay.count(get, ACK, 8), 2) << get;
    }
    EXPECT_TRUE(got_whole_file() && put_whole_file());
    if (program_path("atftp").empty()) GTEST_SKIP() << "atftp is not installed";
    lossy_relay relay(server.port(), drop_first(false, DATA, {9}));
    run_result atftp = run_program({"atftp", "--option", "windowsize 8", "--option", "blksize 512",
                                    "-g", "-r", "file.bin", "-l", local.file("atftp.bin"),
                                    "127.0.0.1", std::to_string(relay.port())},
                                   local.path(), 60000);
    EXPECT_EQ(atftp.status, 0) << atftp.err;
    EXPECT_TRUE(read_file(local.file("atftp.bin")) == content);
}

// A doubled ACK may stand for a window whose first block was lost: each window goes again once
// at most for it, and no storm follows.
TEST_F(windows_through_relay, every_datagram_twice_sends_each_block_at_most_twice) {
    lossy_relay relay(server.port(), duplicate_all());
    EXPECT_EQ(transfer(relay, "--get", "30").status, 0);
    EXPECT_TRUE(got_whole_file());
    EXPECT_LE(relay.count(false, DATA), 2 * blocks);
    lossy_relay upload(server.port(), duplicate_all());
    EXPECT_EQ(transfer(upload, "--put", "30").status, 0);
    EXPECT_TRUE(put_whole_file());
    EXPECT_LE(upload.count(true, DATA), 2 * blocks);
}

} // namespace
