// The datagram endpoint: the transfer's one UDP socket and the one peer it talks to. Receives
// are bounded by the packet timeout and by the stop flag, and hold the transfer to its peer.
#pragma once

#include "platform/socket.h"

#include <atomic>
#include <cstdint>
#include <string>

extern int transfer_socket;             // -1 when there is none
extern ipv4_endpoint peer_addr;         // destination of every send; the only accepted sender
extern std::string peer_host;           // the peer as text, for the close trace line
extern bool first_receive;              // client: the peer's port is taken from the first answer
extern int pending_len;                 // server: a datagram already in the buffer, -1 when none
extern bool recv_timed_out;             // the last wait ran out
extern std::atomic<int> packet_timeout; // seconds

void net_send(const uint8_t* buffer, int length);
// The length of the next datagram from the peer. Server: 0 when a stop was seen. Both: -1 when
// the packet timeout ran out (recv_timed_out set); client: -1 on a stop (recv_timed_out clear).
int net_recv(uint8_t* buffer, int capacity);
void net_close();
void net_unblock();
void net_block();

// The start-up line of the socket layer, traced when the server is enabled or a transfer starts.
std::string winsock_line();
