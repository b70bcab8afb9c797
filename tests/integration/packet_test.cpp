// The packet builders' bytes as they arrive on a loopback socket.
#include "endpoint_fixture.h"
#include "engine/endpoint.h"
#include "engine/packet.h"
#include "server/server_controls.h"
#include "ui/test_backend.h"
#include "ui/ui.h"

using namespace tftps_controls;

namespace {

using packet_test = endpoint_test;

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

TEST_F(packet_test, file_not_found_error_is_20_bytes_and_leaves_op_sent) {
    t->op_sent = OP_NONE;
    send_ERROR(*t, 1, "File not found.");
    auto got = peer->receive(2000);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->bytes, bytes({0, 5, 0, 1}) + "File not found." + '\0');
    EXPECT_EQ(got->bytes.size(), 20u);
    EXPECT_EQ(got->from_port, engine_port());
    EXPECT_EQ(t->op_sent, OP_NONE);
    EXPECT_EQ(t->send_len, 20);
}

TEST_F(packet_test, ack_carries_the_low_16_bits_of_the_block) {
    send_ACK(*t, 0x1ffff);
    auto got = peer->receive(2000);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->bytes, bytes({0, 4, 0xff, 0xff}));
    EXPECT_EQ(t->op_sent, OP_ACK);
    EXPECT_EQ(t->send_len, 4);
}

TEST_F(packet_test, data_sends_the_payload_already_in_the_buffer) {
    std::string payload = pattern_bytes(block_size);
    std::copy(payload.begin(), payload.end(), t->send_buf.begin() + 4);
    send_DATA(*t, 65536, block_size);
    auto got = peer->receive(2000);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->bytes, bytes({0, 3, 0, 0}) + payload);
    EXPECT_EQ(t->op_sent, OP_DATA);

    send_DATA(*t, 2, 0); // the empty last block
    got = peer->receive(2000);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->bytes, bytes({0, 3, 0, 2}));
}

TEST_F(packet_test, request_of_a_five_character_name) {
    uint8_t buffer[packet_buffer_size];
    int length = build_request(buffer, OP_RRQ, "a.bin", "octet");
    EXPECT_EQ(length, 14);
    net_send(*t, buffer, length);
    auto got = peer->receive(2000);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->bytes, bytes({0, 1}) + "a.bin" + '\0' + "octet" + '\0');
    EXPECT_EQ(build_request(buffer, OP_WRQ, "a.bin", "netascii"), 17);
}

// A socket that fails ends its transfer only: the server serves on.
TEST_F(packet_test, server_traces_a_send_before_it_fails) {
    int working = t->socket;
    t->socket = -1;
    EXPECT_THROW(send_ACK(*t, 1), transfer_ended);
    t->socket = working;
    EXPECT_NE(trace().find("Sending ACK for block# 1."), std::string::npos);
    EXPECT_NE(trace().find("net_send: sent 4 bytes to host 127.0.0.1"), std::string::npos);
    EXPECT_TRUE(ui_test_boxes().empty());
    EXPECT_EQ(ui_get_text(IDC_STATUS, 300),
              "net_send: An error occurred with sendto() on the socket.");
}

TEST_F(packet_test, client_traces_a_send_only_after_it_succeeds) {
    use_role(client_like_role());
    int working = t->socket;
    t->socket = -1;
    EXPECT_FALSE(run_on_worker([this] { send_ACK(*t, 1); }));
    t->socket = working;
    EXPECT_EQ(trace().find("net_send: sent"), std::string::npos);
    ASSERT_FALSE(ui_test_boxes().empty());
    EXPECT_EQ(ui_test_boxes()[0].text,
              "net_send: A send error occurred while attempting to transmit.");

    send_ACK(*t, 2);
    ASSERT_TRUE(peer->receive(2000));
    EXPECT_NE(trace().find("net_send: sent 4 bytes to host 127.0.0.1"), std::string::npos);
}

} // namespace
