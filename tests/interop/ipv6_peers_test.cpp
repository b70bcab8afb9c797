// The peers over IPv6 on ::1, byte for byte both ways: tftp-hpa (-6) and curl with pellsd,
// pellcl with tftpd-hpa listening on ::1.
#include "child_process.h"
#include "peers.h"
#include "server_process.h"
#include "tftpd_hpa.h"

#include <gtest/gtest.h>

namespace {

TEST(ipv6_peers, tftp_hpa_and_curl_with_pellsd) {
    server_process server({"--allow-download", "--allow-upload"});
    temp_folder_owner local;
    std::string content = pattern_bytes(3000, 41), port = std::to_string(server.port());
    write_file(server.root() + "/down.bin", content);
    write_file(local.file("sent.bin"), content);
    const std::string url = "tftp://[::1]:" + port + "/";
    const struct {
        std::vector<std::string> get, put;
    } clients[] = {
        {tftp_hpa(port, "get", "down.bin", local.file("got"), "binary", "::1"),
         tftp_hpa(port, "put", local.file("sent.bin"), "up1", "binary", "::1")},
        {{"curl", "-s", "-o", local.file("got"), url + "down.bin"},
         {"curl", "-s", "-T", local.file("sent.bin"), url + "up2"}},
    };
    size_t summaries = 0;
    for (const auto& c : clients) {
        run_result get = run_program(c.get, local.path());
        EXPECT_EQ(get.status, 0) << get.out << get.err;
        EXPECT_TRUE(read_file(local.file("got")) == content) << c.get[0];
        run_result put = run_program(c.put, local.path());
        EXPECT_EQ(put.status, 0) << put.out << put.err;
        summaries += 2;
        ASSERT_TRUE(server.summaries_shown(summaries));
        EXPECT_TRUE(read_file(server.root() + "/" +
                              c.put.back().substr(c.put.back().rfind('/') + 1)) == content)
            << c.put[0];
    }
    EXPECT_NE(server.trace().find("from host ::1,"), std::string::npos);
}

TEST(ipv6_peers, pellcl_with_tftpd_hpa_on_ipv6) {
    tftpd_hpa server("::1");
    if (!server.unavailable().empty()) GTEST_SKIP() << server.unavailable();
    temp_folder_owner local;
    std::string content = pattern_bytes(3000, 42);
    write_file(server.root() + "/remote.bin", content);
    std::string host = server.host() + ":" + std::to_string(server.port());
    run_result get = run_program({PELLCL_PATH, "--get", host, "remote.bin", local.file("got.bin")},
                                 local.path());
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_TRUE(read_file(local.file("got.bin")) == content);
    run_result put = run_program(
        {PELLCL_PATH, "--put", host, local.file("got.bin"), "back.bin", "-6"}, local.path());
    EXPECT_EQ(put.status, 0) << put.err;
    EXPECT_TRUE(read_file(server.root() + "/back.bin") == content);
}

} // namespace
