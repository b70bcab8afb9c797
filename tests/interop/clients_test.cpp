// The common TFTP clients against pellsd --headless on loopback: tftp-hpa, curl, atftp and
// busybox, downloading and uploading every size from empty to the largest a transfer can carry,
// byte for byte, and tftp-hpa's netascii text making the round trip unchanged.
#include "peers.h"
#include "server_process.h"
#include "transfer_data.h"

#include <gtest/gtest.h>

namespace {

using interop_case = std::tuple<int /*client*/, size_t /*size*/>;

std::string case_name(const testing::TestParamInfo<interop_case>& info) {
    return std::string(peer_clients()[std::get<0>(info.param)].name) + "_" +
           std::to_string(std::get<1>(info.param));
}

class pellsd_with : public testing::TestWithParam<interop_case> {
  protected:
    void SetUp() override {
        ASSERT_FALSE(program_path(peer().program).empty()) << peer().program << " is not installed";
    }
    const peer_client& peer() const { return peer_clients()[std::get<0>(GetParam())]; }
    size_t size() const { return std::get<1>(GetParam()); }
    temp_folder_owner local;
};

TEST_P(pellsd_with, download) {
    server_process server({"--allow-download"});
    std::string content = pattern_bytes(size(), static_cast<unsigned>(size()) + 11);
    write_file(server.root() + "/remote.bin", content);
    run_result run =
        run_program(peer().get(std::to_string(server.port()), "remote.bin", local.file("got.bin")),
                    local.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("Error"), std::string::npos) << run.out; // tftp-hpa exits 0 anyway
    EXPECT_TRUE(read_file(local.file("got.bin")) == content);
    EXPECT_TRUE(server.summaries_shown(1));
}

TEST_P(pellsd_with, upload) {
    if (std::string(peer().name) == "curl" && size() == largest_transfer)
        GTEST_SKIP() << "curl's own upload of 65535 blocks never ends, against tftpd-hpa too";
    server_process server({"--allow-upload"});
    std::string content = pattern_bytes(size(), static_cast<unsigned>(size()) + 13);
    write_file(local.file("sent.bin"), content);
    run_result run =
        run_program(peer().put(std::to_string(server.port()), local.file("sent.bin"), "remote.bin"),
                    local.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("Error"), std::string::npos) << run.out;
    ASSERT_TRUE(server.summaries_shown(1));
    EXPECT_TRUE(read_file(server.root() + "/remote.bin") == content);
}

INSTANTIATE_TEST_SUITE_P(sizes, pellsd_with,
                         testing::Combine(testing::Range(0, 4),
                                          testing::ValuesIn(transfer_sizes())),
                         case_name);

class tftp_hpa_ascii : public testing::TestWithParam<size_t> {};

TEST_P(tftp_hpa_ascii, text_makes_the_round_trip_unchanged) {
    temp_folder_owner local;
    server_process server({"--allow-upload", "--allow-download"});
    std::string text = transfer_content(GetParam(), 0);
    write_file(local.file("text.txt"), text);
    std::string port = std::to_string(server.port());
    run_result put =
        run_program(tftp_hpa(port, "put", local.file("text.txt"), "text.txt", "ascii"), local.path());
    EXPECT_EQ(put.out.find("Error"), std::string::npos) << put.out;
    ASSERT_TRUE(server.summaries_shown(1));
    EXPECT_TRUE(read_file(server.root() + "/text.txt") == text); // stored with local line ends
    run_result get =
        run_program(tftp_hpa(port, "get", "text.txt", local.file("back.txt"), "ascii"), local.path());
    EXPECT_EQ(get.out.find("Error"), std::string::npos) << get.out;
    EXPECT_TRUE(read_file(local.file("back.txt")) == text);
}

INSTANTIATE_TEST_SUITE_P(sizes, tftp_hpa_ascii, testing::ValuesIn(transfer_sizes()));

// Each client shows a refusal the way it shows any failure: its own exit status for a TFTP error
// (not a timeout's or a crash's), and the server's text where it prints one (tftp-hpa exits 0
// all the same).
TEST(pellsd_refusals, reach_every_client_as_a_failure) {
    temp_folder_owner local;
    server_process server({"--allow-download"});
    std::string port = std::to_string(server.port());
    for (const peer_client& peer : peer_clients()) {
        run_result run = run_program(peer.get(port, "missing.bin", local.file(peer.name)),
                                     local.path(), 20000);
        EXPECT_EQ(run.status, peer.refused_status) << peer.name << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(peer.refused_says), std::string::npos)
            << peer.name << run.out << run.err;
    }
}

} // namespace
