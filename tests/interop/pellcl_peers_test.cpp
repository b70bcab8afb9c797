// pellcl against real servers on loopback, byte for byte, every size from empty to the largest
// a transfer can carry before block numbers roll over, and one past it: tftpd-hpa (binary and
// ascii, text round-tripped unchanged) and pellsd.
// atftpd cannot be installed beside tftpd-hpa on Debian, so it is not among them.
#include "server_process.h"
#include "tftpd_hpa.h"
#include "transfer_data.h"

#include <gtest/gtest.h>

namespace {

run_result pellcl(const std::vector<std::string>& args, const std::string& folder) {
    std::vector<std::string> command = {PELLCL_PATH};
    command.insert(command.end(), args.begin(), args.end());
    return run_program(command, folder);
}

class pellcl_with_tftpd_hpa : public testing::TestWithParam<size_t> {
  protected:
    void SetUp() override {
        if (!server.unavailable().empty()) GTEST_SKIP() << server.unavailable();
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(server.port()); }
    tftpd_hpa server;
    temp_folder_owner local;
};

TEST_P(pellcl_with_tftpd_hpa, binary_get_and_put) {
    std::string content = pattern_bytes(GetParam(), static_cast<unsigned>(GetParam()) + 3);
    write_file(server.root() + "/remote.bin", content);
    run_result get = pellcl({"--get", host(), "remote.bin", local.file("got.bin")}, local.path());
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_TRUE(read_file(local.file("got.bin")) == content);

    run_result put = pellcl({"--put", host(), local.file("got.bin"), "back.bin"}, local.path());
    EXPECT_EQ(put.status, 0) << put.err;
    EXPECT_TRUE(read_file(server.root() + "/back.bin") == content);
}

TEST_P(pellcl_with_tftpd_hpa, ascii_text_makes_the_round_trip_unchanged) {
    std::string text = transfer_content(GetParam(), 0);
    write_file(local.file("text.txt"), text);
    run_result put =
        pellcl({"--put", host(), local.file("text.txt"), "text.txt", "--ascii"}, local.path());
    EXPECT_EQ(put.status, 0) << put.err;
    EXPECT_TRUE(read_file(server.root() + "/text.txt") == text); // tftpd-hpa stores LF too
    run_result get =
        pellcl({"--get", host(), "text.txt", local.file("back.txt"), "--ascii"}, local.path());
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_TRUE(read_file(local.file("back.txt")) == text);
}

INSTANTIATE_TEST_SUITE_P(sizes, pellcl_with_tftpd_hpa, testing::ValuesIn(transfer_sizes()));
// Neither side asks for options: past block 65535 both roll the number over to 0.
INSTANTIATE_TEST_SUITE_P(rollover, pellcl_with_tftpd_hpa, testing::Values(65536u * 512u + 1000u));

class pellcl_with_pellsd : public testing::TestWithParam<size_t> {};

TEST_P(pellcl_with_pellsd, binary_get_and_put) {
    server_process server({"--allow-download", "--allow-upload"});
    temp_folder_owner local;
    std::string host = "127.0.0.1:" + std::to_string(server.port());
    std::string content = pattern_bytes(GetParam(), static_cast<unsigned>(GetParam()) + 5);
    write_file(server.root() + "/remote.bin", content);
    run_result get = pellcl({"--get", host, "remote.bin", local.file("got.bin")}, local.path());
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_TRUE(read_file(local.file("got.bin")) == content);
    ASSERT_TRUE(server.summaries_shown(1));
    run_result put = pellcl({"--put", host, local.file("got.bin"), "back.bin"}, local.path());
    EXPECT_EQ(put.status, 0) << put.err;
    ASSERT_TRUE(server.summaries_shown(2));
    EXPECT_TRUE(read_file(server.root() + "/back.bin") == content);
}

INSTANTIATE_TEST_SUITE_P(sizes, pellcl_with_pellsd, testing::ValuesIn(transfer_sizes()));

} // namespace
