// Whole transfers in both directions, octet and netascii, of every size from empty to the
// largest a transfer can carry, byte for byte: the server's role against a scripted client and
// the client's role against a scripted server.
#include "client_engine.h"
#include "daemon_fixture.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "lockstep.h"
#include "server/daemon.h"
#include "transfer_data.h"
#include "ui/test_backend.h"
#include "wait_until.h"

#include <regex>

namespace {

using transfer_case = std::tuple<int /*mode*/, size_t /*size*/>;

std::string mode_name(int mode) { return mode == 1 ? "octet" : "netascii"; }

std::string case_name(const testing::TestParamInfo<transfer_case>& info) {
    return mode_name(std::get<0>(info.param)) + "_" + std::to_string(std::get<1>(info.param));
}

std::string wire_of(const std::string& content, int mode) {
    return mode == 1 ? content : netascii_encode(content);
}

// What a transfer left on disk: a netascii file is a text file of the system's own.
std::string stored(const std::string& path, int mode) {
    return mode == 1 ? read_file(path) : read_text_file(path);
}

// The summary a finished transfer leaves: the bytes on the wire, or the waited text.
std::regex summary_for(size_t wire_bytes, const char* verb) {
    if (wire_bytes == 0)
        return std::regex(R"(Waited \d+\.\d seconds\. Is there a client problem\?)");
    return std::regex(std::to_string(wire_bytes) + " bytes " + verb + R"( in \d+\.\d seconds\.)");
}

class server_transfer : public daemon_test, public testing::WithParamInterface<transfer_case> {};

TEST_P(server_transfer, download) {
    auto [mode, size] = GetParam();
    std::string content = transfer_content(size, mode);
    write_file(root_file("file.bin"), content);
    udp_peer client;
    client.send_to(port, tftp_request(1, "file.bin", mode_name(mode)));
    lockstep_outcome got = take_blocks(client, 0);
    ASSERT_TRUE(got.completed) << got.error;
    EXPECT_NE(got.peer_port, port); // answered from a transfer port, not the listening one
    EXPECT_TRUE(got.wire == wire_of(content, mode));
    ASSERT_TRUE(wait_until([&] { return transfers_running == 0; }, 5000));
    EXPECT_TRUE(std::regex_match(status(), summary_for(got.wire.size(), "sent"))) << status();
    EXPECT_FALSE(file_exists(status_file_path()));
}

TEST_P(server_transfer, upload) {
    auto [mode, size] = GetParam();
    std::string content = transfer_content(size, mode);
    udp_peer client;
    client.send_to(port, tftp_request(2, "file.bin", mode_name(mode)));
    auto ack = client.receive(5000);
    ASSERT_TRUE(ack);
    ASSERT_EQ(ack->bytes, tftp_packet(4, 0));
    lockstep_outcome sent = send_blocks(client, ack->from_port, wire_of(content, mode));
    ASSERT_TRUE(sent.completed) << sent.error;
    ASSERT_TRUE(wait_until([&] { return transfers_running == 0; }, 5000));
    EXPECT_TRUE(stored(root_file("file.bin"), mode) == content);
    EXPECT_TRUE(std::regex_match(status(), summary_for(wire_of(content, mode).size(), "received")))
        << status();
}

INSTANTIATE_TEST_SUITE_P(sizes, server_transfer,
                         testing::Combine(testing::Values(0, 1),
                                          testing::ValuesIn(transfer_sizes())),
                         case_name);

class client_transfer : public client_engine_test,
                        public testing::WithParamInterface<transfer_case> {};

TEST_P(client_transfer, download) {
    auto [mode, size] = GetParam();
    std::string content = transfer_content(size, mode);
    start(1, mode, folder.file("local.bin"), "file.bin");
    EXPECT_EQ(take_request(), tftp_request(1, "file.bin", mode_name(mode)));
    udp_peer server_side;
    lockstep_outcome sent = send_blocks(server_side, engine_port_, wire_of(content, mode));
    ASSERT_TRUE(sent.completed);
    ASSERT_TRUE(finish());
    EXPECT_EQ(outcome(), transfer_outcome::kind::completed);
    EXPECT_TRUE(stored(folder.file("local.bin"), mode) == content);
    EXPECT_EQ(t->bytes(), static_cast<int64_t>(wire_of(content, mode).size()));
}

TEST_P(client_transfer, upload) {
    auto [mode, size] = GetParam();
    std::string content = transfer_content(size, mode);
    write_file(folder.file("local.bin"), content);
    start(2, mode, folder.file("local.bin"), "file.bin");
    EXPECT_EQ(take_request(), tftp_request(2, "file.bin", mode_name(mode)));
    udp_peer server_side;
    server_side.send_to(engine_port_, tftp_packet(4, 0));
    lockstep_outcome got = take_blocks(server_side, engine_port_);
    ASSERT_TRUE(got.completed);
    server_side.send_to(engine_port_, tftp_packet(4, got.blocks)); // the last ACK, once more
    ASSERT_TRUE(finish());
    EXPECT_EQ(outcome(), transfer_outcome::kind::completed);
    EXPECT_TRUE(got.wire == wire_of(content, mode));
}

INSTANTIATE_TEST_SUITE_P(sizes, client_transfer,
                         testing::Combine(testing::Values(0, 1),
                                          testing::ValuesIn(transfer_sizes())),
                         case_name);

} // namespace
