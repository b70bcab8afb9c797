#include "endpoint_fixture.h"

#include "engine/endpoint.h"
#include "platform/socket.h"

void endpoint_test::SetUp() {
    engine_test::SetUp();
    peer = std::make_unique<udp_peer>();
    t = std::make_unique<transfer>();
    t->socket = sock_open_udp();
    ASSERT_GE(t->socket, 0);
    ASSERT_EQ(sock_bind(t->socket, 0), 0);
    ASSERT_EQ(sock_set_nonblocking(t->socket, true), 0);
    t->peer = ipv4_endpoint(0x7f000001, peer->port());
    t->peer_host = "127.0.0.1";
    t->timeout_seconds = packet_timeout;
    net_wait_begin(*t, packet_timeout * 1000);
}

void endpoint_test::TearDown() {
    t.reset();
    engine_test::TearDown();
}

uint16_t endpoint_test::engine_port() const {
    return static_cast<uint16_t>(sock_local_port(t->socket));
}
