// The server's side of the extensions on the wire: what it agrees to of the options a request
// asks for, the OACK and what follows it, a client that refuses the answer, and a size that does
// not fit the disk.
#include "lockstep.h"
#include "packet_expect.h"
#include "server_process.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

std::string pairs(std::initializer_list<std::string> words) {
    std::string bytes;
    for (const std::string& w : words)
        bytes += w + '\0';
    return bytes;
}

std::string oack(std::initializer_list<std::string> words) {
    return std::string("\0\6", 2) + pairs(words);
}

std::string request(int opcode, const std::string& mode, const std::string& options) {
    return tftp_request(opcode, "a.bin", mode) + options;
}

class extensions : public testing::Test {
  protected:
    void SetUp() override { write_file(server.root() + "/a.bin", content); }
    std::string content = pattern_bytes(3000, 4);
    server_process server{{"--allow-download", "--allow-upload", "--extensions", "--timeout", "2",
                           "--max-windowsize", "8"}};
};

TEST_F(extensions, the_answer_lowers_or_leaves_out_what_it_cannot_take) {
    const std::string data_1 = tftp_packet(3, 1, content.substr(0, 512));
    const struct {
        int opcode;
        const char* mode;
        std::string options, answer;
    } cases[] = {
        {1, "octet", pairs({"blksize", "1468"}), oack({"blksize", "1468"})},
        {1, "octet", pairs({"blksize", "70000"}), oack({"blksize", "65464"})},
        {1, "octet", pairs({"blksize", "4"}), data_1},
        {1, "octet", pairs({"TSIZE", "0", "BlkSize", "600"}), oack({"tsize", "3000", "blksize", "600"})},
        {1, "netascii", pairs({"tsize", "0"}), ""}, // the size on the wire is not known
        {1, "octet", pairs({"timeout", "0", "windowsize", "100"}), oack({"windowsize", "8"})},
        {1, "octet", pairs({"timeout", "2", "windowsize", "0"}), oack({"timeout", "2"})},
        {1, "octet", pairs({"timeout", "3"}), data_1}, // beyond the server's own
        {1, "octet", pairs({"multicast", "", "blksize", "x"}), data_1},
        {2, "octet", pairs({"tsize", "3000", "blksize", "1024"}), oack({"tsize", "3000", "blksize", "1024"})},
        {2, "octet", pairs({"rollover", "0"}), tftp_packet(4, 0)},
    };
    for (const auto& c : cases) {
        udp_peer client;
        client.send_to(server.port(), request(c.opcode, c.mode, c.options));
        auto answer = client.receive(5000);
        ASSERT_TRUE(answer) << c.options;
        // A netascii DATA 1 is checked by its header only.
        EXPECT_EQ(c.answer.empty() ? answer->bytes.substr(0, 4) : answer->bytes,
                  c.answer.empty() ? tftp_packet(3, 1) : c.answer)
            << c.options;
        // Refused by the client: the transfer ends at once; after an OACK, without a fault.
        client.send_to(answer->from_port, tftp_packet(5, 8, "no" + std::string(1, '\0')));
    }
    EXPECT_EQ(server.process().out().find("op_sent = 6"), std::string::npos)
        << server.process().out();
}

// A crowd's windows share 64 blocks, each at least 4: a receiver that misses a block drops the
// rest of its window, and a crowd of whole windows sent again would fill the link. Alone, a
// transfer has what the settings allow.
TEST(extensions_in_a_crowd, each_window_is_agreed_its_share) {
    server_process server({"--allow-download", "--extensions", "--max-transfers", "16",
                           "--max-windowsize", "100"});
    write_file(server.root() + "/a.bin", pattern_bytes(3000, 4));
    std::vector<std::unique_ptr<udp_peer>> crowd;
    std::vector<std::string> agreed;
    for (int i = 0; i < 16; ++i) {
        crowd.push_back(std::make_unique<udp_peer>(0x7f000002u + static_cast<uint32_t>(i % 4)));
        crowd.back()->send_to(server.port(), request(1, "octet", pairs({"windowsize", "100"})));
        const auto answer = crowd.back()->receive(5000);
        ASSERT_TRUE(answer) << i;
        agreed.push_back(answer->bytes);
    }
    EXPECT_EQ(agreed.front(), oack({"windowsize", "100"})); // alone, what the settings allow
    EXPECT_EQ(agreed[1], oack({"windowsize", "32"}));
    EXPECT_EQ(agreed.back(), oack({"windowsize", "4"}));
}

// Firmware learns a file's size with a request it then refuses, and asks again at once.
TEST_F(extensions, a_refused_answer_frees_the_server_for_the_request_that_follows) {
    udp_peer client;
    client.send_to(server.port(), request(1, "octet", pairs({"tsize", "0"})));
    datagram answer = expect_packet(client, 6, 0x7473); // "ts" of "tsize"
    EXPECT_EQ(answer.bytes, oack({"tsize", "3000"}));
    client.send_both(answer.from_port, tftp_packet(5, 8, "size known" + std::string(1, '\0')),
                     server.port(), request(1, "octet", pairs({"blksize", "1000"})));
    datagram again = expect_packet(client, 6, 0x626c); // "bl" of "blksize"
    EXPECT_EQ(again.bytes, oack({"blksize", "1000"}));
    EXPECT_TRUE(server.trace_shows("options_refused: The client ended the transfer after the OACK: "
                                   "code 8, size known."));
}

TEST_F(extensions, an_oack_goes_again_until_it_is_answered_then_the_blocks_follow) {
    udp_peer client;
    client.send_to(server.port(), request(1, "octet", pairs({"blksize", "1000"})));
    datagram first = expect_packet(client, 6, 0x626c);
    EXPECT_EQ(next_bytes(client, 4000), first.bytes); // ACK 0 lost: the OACK again
    client.send_to(first.from_port, tftp_packet(4, 0));
    EXPECT_EQ(next_bytes(client), tftp_packet(3, 1, content.substr(0, 1000)));
    client.send_to(first.from_port, tftp_packet(4, 0)); // ACK 0 again: nothing more goes out
    expect_silence(client);
}

// The OACK's answer took a fifth of a second: the window of eight leaves two blocks to that round
// trip, the burst of an idle path (three) at once and the others spaced after them.
TEST_F(extensions, a_window_leaves_paced_over_the_round_trip) {
    udp_peer client;
    client.send_to(server.port(), request(1, "octet", pairs({"windowsize", "8"})));
    datagram answer = expect_packet(client, 6, 0x7769);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    client.send_to(answer.from_port, tftp_packet(4, 0));
    int at_once = 0;
    while (client.receive(50))
        ++at_once;
    EXPECT_EQ(at_once, 3);
    for (int block = 4; block <= 6; ++block)
        expect_packet(client, 3, block);
}

// Blocks 1 and 2 are taken, 4 before 3 tells of the gap, then 3 comes: when the wait runs out,
// the ACK names block 3, the last one held, not the 2 said before.
TEST_F(extensions, a_receivers_timeout_acknowledges_what_came_since_its_last_ack) {
    udp_peer client;
    client.send_to(server.port(), request(2, "octet", pairs({"windowsize", "4"})));
    datagram answer = expect_packet(client, 6, 0x7769); // "wi" of "windowsize"
    for (int block : {1, 2, 4})
        client.send_to(answer.from_port, tftp_packet(3, block, std::string(512, 'x')));
    EXPECT_EQ(next_bytes(client), tftp_packet(4, 2));
    client.send_to(answer.from_port, tftp_packet(3, 3, std::string(512, 'x')));
    EXPECT_EQ(next_bytes(client, 4000), tftp_packet(4, 3));
}

TEST_F(extensions, an_upload_the_disk_cannot_hold_is_refused) {
    udp_peer client;
    client.send_to(server.port(), request(2, "octet", pairs({"tsize", "999999999999999999"})));
    EXPECT_EQ(next_bytes(client),
              tftp_packet(5, 3, "Disk full or allocation exceeded." + std::string(1, '\0')));
    EXPECT_FALSE(file_exists(server.root() + "/a.bin.part"));
}

} // namespace
