#include "endpoint_fixture.h"

#include "engine/endpoint.h"
#include "platform/socket.h"

void endpoint_test::SetUp() {
    engine_test::SetUp();
    peer = std::make_unique<udp_peer>();
    transfer_socket = sock_open_udp();
    ASSERT_GE(transfer_socket, 0);
    ASSERT_EQ(sock_bind(transfer_socket, 0), 0);
    ASSERT_EQ(sock_set_nonblocking(transfer_socket, true), 0);
    peer_addr = {0x7f000001, peer->port()};
    peer_host = "127.0.0.1";
}

uint16_t endpoint_test::engine_port() const {
    return static_cast<uint16_t>(sock_local_port(transfer_socket));
}
