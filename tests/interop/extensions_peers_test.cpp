// The extensions with every peer that has them, byte for byte both ways: curl's block size,
// atftp's window, busybox's block size, tftp-hpa's files over 32 MiB (rollover without options),
// pellcl against tftpd-hpa (which has no window), and pellcl with pellsd over every block size,
// window and mode.
#include "peers.h"
#include "server_process.h"
#include "tftpd_hpa.h"
#include "transfer_data.h"
#include "udp_peer.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

using words = std::vector<std::string>;

struct option_peer {
    const char* name;
    size_t size; // a few windows and a part of a block
    words (*get)(const std::string& port, const std::string& remote, const std::string& local);
    words (*put)(const std::string& port, const std::string& local, const std::string& remote);
    const char* answered; // in the server's trace
};

const option_peer option_peers[] = {
    {"curl_blksize_65464", 3 * 65464 + 7,
     [](auto& port, auto& remote, auto& local) {
         return words{"curl", "-s", "--tftp-blksize", "65464", "-o", local,
                      "tftp://127.0.0.1:" + port + "/" + remote};
     },
     [](auto& port, auto& local, auto& remote) {
         return words{"curl", "-s", "--tftp-blksize", "65464", "-T", local,
                      "tftp://127.0.0.1:" + port + "/" + remote};
     },
     "blksize 65464"},
    {"atftp_window_16", 2 * 16 * 1468 + 5,
     [](auto& port, auto& remote, auto& local) {
         return words{"atftp", "--option", "blksize 1468", "--option", "windowsize 16", "--option",
                      "tsize 0", "-g", "-r", remote, "-l", local, "127.0.0.1", port};
     },
     [](auto& port, auto& local, auto& remote) {
         return words{"atftp", "--option", "blksize 1468", "--option", "windowsize 16", "-p",
                      "-l", local, "-r", remote, "127.0.0.1", port};
     },
     "windowsize 16"},
    {"busybox_blksize_1468", 5 * 1468 + 1,
     [](auto& port, auto& remote, auto& local) {
         return words{"busybox", "tftp", "-b", "1468", "-g", "-r", remote, "-l", local,
                      "127.0.0.1", port};
     },
     [](auto& port, auto& local, auto& remote) {
         return words{"busybox", "tftp", "-b", "1468", "-p", "-l", local, "-r", remote,
                      "127.0.0.1", port};
     },
     "blksize 1468"},
    // No options at all: past 65535 blocks of 512 bytes the block numbers roll over.
    {"tftp_hpa_rollover", 65536u * 512u + 1000u, peer_clients()[0].get, peer_clients()[0].put,
     nullptr},
};

class pellsd_extensions_with : public testing::TestWithParam<option_peer> {};

TEST_P(pellsd_extensions_with, download_and_upload) {
    const option_peer& peer = GetParam();
    server_process server({"--allow-download", "--allow-upload", "--extensions"});
    temp_folder_owner local;
    std::string content = pattern_bytes(peer.size, 31);
    write_file(server.root() + "/down.bin", content);
    std::string port = std::to_string(server.port());
    run_result get = run_program(peer.get(port, "down.bin", local.file("got.bin")), local.path());
    EXPECT_EQ(get.status, 0) << get.out << get.err;
    EXPECT_TRUE(read_file(local.file("got.bin")) == content);
    ASSERT_TRUE(server.summaries_shown(1));
    run_result put = run_program(peer.put(port, local.file("got.bin"), "up.bin"), local.path());
    EXPECT_EQ(put.status, 0) << put.out << put.err;
    ASSERT_TRUE(server.summaries_shown(2));
    EXPECT_TRUE(read_file(server.root() + "/up.bin") == content);
    if (peer.answered) {
        EXPECT_NE(server.trace().find(peer.answered), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(peers, pellsd_extensions_with, testing::ValuesIn(option_peers),
                         [](const auto& info) { return std::string(info.param.name); });

// One port for every transfer, for a NAT or a firewall that forwards only that one: the peers'
// clients at once (curl with its largest blocks and atftp with a window, both ways; tftp-hpa;
// pellcl over IPv6), the answers from the listening port itself and the address asked. A range
// of transfer ports cannot go with it.
TEST(pellsd_single_port, serves_every_client_at_once_from_the_listening_port) {
    server_process server({"--allow-download", "--allow-upload", "--extensions", "--single-port",
                           "--max-transfers", "8"});
    temp_folder_owner local, logs;
    const std::string content = pattern_bytes(3 * 65464 + 7, 41);
    write_file(server.root() + "/down.bin", content);
    write_file(local.file("up.bin"), content);
    // More blocks than a flood's budget lets one address send: a transfer's own spend none.
    const std::string many_blocks = pattern_bytes(2400 * 512 + 1, 43);
    write_file(local.file("many.bin"), many_blocks);
    const std::string port = std::to_string(server.port());
    const option_peer &curl = option_peers[0], &atftp = option_peers[1];
    const std::vector<words> clients = {
        peer_clients()[0].get(port, "down.bin", local.file("tftp-hpa.bin")),
        peer_clients()[0].put(port, local.file("many.bin"), "tftp-hpa-up.bin"),
        curl.get(port, "down.bin", local.file("curl.bin")),
        curl.put(port, local.file("up.bin"), "curl-up.bin"),
        atftp.get(port, "down.bin", local.file("atftp.bin")),
        atftp.put(port, local.file("up.bin"), "atftp-up.bin"),
        {PELLCL_PATH, "--get", "[::1]:" + port, "down.bin", local.file("pellcl.bin"), "--blksize",
         "1468", "--windowsize", "32"},
    };
    std::vector<std::unique_ptr<child_process>> running;
    for (const words& c : clients) {
        const std::string program = c[0].find('/') == 0 ? c[0] : program_path(c[0]);
        running.push_back(std::make_unique<child_process>(
            program, words(c.begin() + 1, c.end()), local.path(), logs.path()));
    }
    for (auto& client : running)
        EXPECT_EQ(client->wait_exit(60000), 0) << client->out() << client->err();
    for (const char* got : {"tftp-hpa.bin", "curl.bin", "atftp.bin", "pellcl.bin"})
        EXPECT_TRUE(read_file(local.file(got)) == content) << got;
    ASSERT_TRUE(server.summaries_shown(clients.size()));
    for (const char* put : {"curl-up.bin", "atftp-up.bin"})
        EXPECT_TRUE(read_file(server.root() + "/" + put) == content) << put;
    EXPECT_TRUE(read_file(server.root() + "/tftp-hpa-up.bin") == many_blocks);
    // Asked at one address of a machine that listens on all, it answers from that one.
    udp_peer raw;
    raw.send_to(server.port(), tftp_request(1, "down.bin", "octet"), 0x7f000002);
    const auto answer = raw.receive(5000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->from_port, server.port());
    EXPECT_EQ(answer->from_address, 0x7f000002u);
    child_process both(PELLSD_PATH,
                       {"--headless", "--port", std::to_string(free_udp_port()), "--single-port",
                        "--port-range", "50000:50009"},
                       logs.path(), logs.path(), {"TMPDIR=" + logs.path()});
    EXPECT_EQ(both.wait_exit(10000), 1);
    EXPECT_NE(both.err().find("from the listening port alone or from a range of ports, not both"),
              std::string::npos)
        << both.err();
}

run_result pellcl(std::vector<std::string> args, const std::string& folder) {
    args.insert(args.begin(), PELLCL_PATH);
    return run_program(args, folder);
}

class pellcl_extensions_with_tftpd_hpa : public testing::Test {
  protected:
    void SetUp() override {
        if (!server.unavailable().empty()) GTEST_SKIP() << server.unavailable();
    }
    // Down and back up through tftpd-hpa with these options; both files byte for byte.
    void round_trip(const std::string& content, const words& options) {
        write_file(server.root() + "/remote.bin", content);
        std::string host = "127.0.0.1:" + std::to_string(server.port());
        words get = {"--get", host, "remote.bin", local.file("got.bin"), "--log", local.file("t")};
        get.insert(get.end(), options.begin(), options.end());
        run_result down = pellcl(get, local.path());
        EXPECT_EQ(down.status, 0) << down.err;
        EXPECT_TRUE(read_file(local.file("got.bin")) == content);
        words put = {"--put", host, local.file("got.bin"), "back.bin"};
        put.insert(put.end(), options.begin(), options.end());
        run_result up = pellcl(put, local.path());
        EXPECT_EQ(up.status, 0) << up.err;
        EXPECT_TRUE(read_file(server.root() + "/back.bin") == content);
    }
    tftpd_hpa server;
    temp_folder_owner local;
};

TEST_F(pellcl_extensions_with_tftpd_hpa, takes_its_answer_and_carries_on_without_a_window) {
    round_trip(pattern_bytes(10 * 1468 + 3, 32), {"--blksize", "1468", "--windowsize", "8"});
    std::string trace = read_file(local.file("t"));
    EXPECT_NE(trace.find("recv_OACK: Options answered:"), std::string::npos) << trace;
    EXPECT_NE(trace.find("blksize 1468"), std::string::npos);
    EXPECT_EQ(trace.find("windowsize", trace.find("Options answered")), std::string::npos);
    // netascii asks for no size, which tftpd-hpa would refuse
    round_trip(transfer_content(3000, 0), {"--extensions", "--ascii"});
}

TEST_F(pellcl_extensions_with_tftpd_hpa, rolls_block_numbers_over_past_65535) {
    round_trip(pattern_bytes(65540u * 8u + 3u, 33), {"--blksize", "8"});
}

// pellcl with pellsd: every block size, window and mode, each with files that end just before,
// on and just after the boundary of a window.
using combination = std::tuple<int /*block*/, int /*window*/, int /*mode*/>;

class pellcl_with_pellsd_extensions : public testing::TestWithParam<combination> {};

TEST_P(pellcl_with_pellsd_extensions, download_and_upload) {
    auto [block, window, mode] = GetParam();
    server_process server({"--allow-download", "--allow-upload", "--extensions"});
    temp_folder_owner local;
    std::string host = "127.0.0.1:" + std::to_string(server.port());
    words options = {"--blksize", std::to_string(block), "--windowsize", std::to_string(window)};
    if (mode == 0) options.push_back("--ascii");
    size_t span = static_cast<size_t>(block) * static_cast<size_t>(window);
    size_t rounds = 0;
    for (size_t size : {span - 1, span, 2 * span + 1}) {
        ++rounds;
        std::string content = transfer_content(size, mode);
        write_file(server.root() + "/down.bin", content);
        words get = {"--get", host, "down.bin", local.file("got.bin")};
        get.insert(get.end(), options.begin(), options.end());
        EXPECT_EQ(pellcl(get, local.path()).status, 0) << size;
        EXPECT_TRUE(read_file(local.file("got.bin")) == content) << size;
        words put = {"--put", host, local.file("got.bin"), "up.bin"};
        put.insert(put.end(), options.begin(), options.end());
        EXPECT_EQ(pellcl(put, local.path()).status, 0) << size;
        ASSERT_TRUE(server.summaries_shown(2 * rounds));
        EXPECT_TRUE(read_file(server.root() + "/up.bin") == content) << size;
    }
}

TEST(pellcl_with_pellsd_windows, roll_block_numbers_over_past_65535) {
    server_process server({"--allow-download", "--allow-upload", "--extensions"});
    temp_folder_owner local;
    std::string host = "127.0.0.1:" + std::to_string(server.port());
    std::string content = pattern_bytes(65540u * 8u + 3u, 34);
    write_file(server.root() + "/down.bin", content);
    words options = {"--blksize", "8", "--windowsize", "64"};
    words get = {"--get", host, "down.bin", local.file("got.bin")};
    get.insert(get.end(), options.begin(), options.end());
    EXPECT_EQ(pellcl(get, local.path()).status, 0);
    EXPECT_TRUE(read_file(local.file("got.bin")) == content);
    words put = {"--put", host, local.file("got.bin"), "up.bin"};
    put.insert(put.end(), options.begin(), options.end());
    EXPECT_EQ(pellcl(put, local.path()).status, 0);
    ASSERT_TRUE(server.summaries_shown(2));
    EXPECT_TRUE(read_file(server.root() + "/up.bin") == content);
}

std::string combination_name(const testing::TestParamInfo<combination>& info) {
    return std::to_string(std::get<0>(info.param)) + "_" + std::to_string(std::get<1>(info.param)) +
           (std::get<2>(info.param) ? "_octet" : "_netascii");
}

INSTANTIATE_TEST_SUITE_P(sizes, pellcl_with_pellsd_extensions,
                         testing::Combine(testing::Values(8, 512, 1468, 65464),
                                          testing::Values(1, 4, 64), testing::Values(0, 1)),
                         combination_name);

} // namespace
