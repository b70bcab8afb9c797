// The status line during a slow transfer: a count once a second while data moves, then the
// summary, which no progress line replaces.
#include "daemon_fixture.h"
#include "packet_expect.h"
#include "ui/test_backend.h"
#include "wait_until.h"

#include <optional>
#include <regex>
#include <thread>

namespace {

using progress = daemon_test;

// The status line's texts in the order they were written.
std::vector<std::string> status_lines() {
    std::vector<std::string> lines;
    const std::string prefix = "set_text 1027 ";
    for (const std::string& call : ui_test_log())
        if (call.rfind(prefix, 0) == 0) lines.push_back(call.substr(prefix.size()));
    return lines;
}

TEST_F(progress, counts_once_a_second_then_leaves_the_summary) {
    write_file(root_file("slow.bin"), pattern_bytes(10000, 2)); // 20 blocks
    udp_peer client;
    client.send_to(port, tftp_request(1, "slow.bin", "octet"));
    for (int n = 1; n <= 20; ++n) {
        // A slow machine (Wine) may let the server's wait run out: a copy of the block before is
        // no new block.
        std::optional<datagram> block;
        while ((block = client.receive(5000)) && n > 1 &&
               block->bytes.substr(0, 4) == tftp_packet(3, n - 1)) {
        }
        ASSERT_TRUE(block);
        EXPECT_EQ(block->bytes.substr(0, 4), tftp_packet(3, n));
        // Within the server's wait, which a round trip of this length makes longer still.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        client.send_to(block->from_port, tftp_packet(4, n));
    }
    std::regex summary(R"(10000 bytes sent in (\d+\.\d) seconds\.)");
    ASSERT_TRUE(wait_until([&] { return std::regex_match(status(), summary); }, 5000)) << status();
    // Twenty waits of 0.15 s, to the tenth: not whole seconds.
    EXPECT_GE(std::stod(status().substr(status().find(" in ") + 4)), 2.95) << status();
    EXPECT_LT(std::stod(status().substr(status().find(" in ") + 4)), 6.0) << status();
    // The progress thread would write within its second: none replaces the summary.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(std::regex_match(status(), summary)) << status();

    // The count, and once an ACK has timed the path, the pace its blocks leave at.
    std::vector<std::string> counts, paces;
    const std::regex count(R"((\d+ bytes sent\.)( Window \d+ blocks?(, pacing \d+\.\d MB/s)?\.)?)");
    std::smatch parts;
    for (const std::string& line : status_lines())
        if (std::regex_match(line, parts, count)) {
            counts.push_back(parts[1]);
            paces.push_back(parts[2]);
        }
    ASSERT_FALSE(paces.empty());
    EXPECT_NE(paces.back().find(", pacing"), std::string::npos) << paces.back();
    // About 3 seconds of transfer: a count at the start and one a second after it.
    EXPECT_GE(counts.size(), 3u);
    EXPECT_LE(counts.size(), 5u);
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.front(), "512 bytes sent.");
    for (size_t i = 1; i < counts.size(); ++i)
        EXPECT_GT(std::stoi(counts[i]), std::stoi(counts[i - 1]));
    EXPECT_TRUE(std::regex_match(status_lines().back(), summary));
}

TEST_F(progress, a_transfer_that_moves_nothing_writes_no_count) {
    udp_peer client;
    write_file(root_file("empty.bin"), "");
    client.send_to(port, tftp_request(1, "empty.bin", "octet"));
    datagram block = expect_packet(client, 3, 1);
    client.send_to(block.from_port, tftp_packet(4, 1));
    ASSERT_TRUE(wait_until(
        [&] {
            return std::regex_match(status(),
                                    std::regex(R"(Waited \d\.\d seconds\. Is there a client problem\?)"));
        },
        10000))
        << status();
    for (const std::string& line : status_lines())
        EXPECT_EQ(line.find("bytes sent."), std::string::npos) << line;
}

} // namespace
