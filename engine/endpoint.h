// The datagram endpoint of a transfer: its one UDP socket and the one peer it talks to. Waits are
// bounded by the transfer's packet timeout and by the stop request, and hold the transfer to its
// peer.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct transfer;

// The packet timeout chosen in the window, in seconds; each transfer takes it at its start.
extern std::atomic<int> packet_timeout;

// The results of a wait that brought no datagram.
enum : int { NET_TIMED_OUT = -1, NET_STOPPED = -2, NET_SEND_DUE = -3 };

// False when this machine dropped the datagram: its own queue was full.
bool net_send(transfer& t, const uint8_t* buffer, int length);
// Starts a wait of milliseconds for the peer's next datagram.
void net_wait_begin(transfer& t, int milliseconds);
// Milliseconds left of the current wait, 0 once it has run out.
int net_wait_left(const transfer& t);
// The next datagram from the peer, read into recv_buf without waiting: its length, or -1 when
// nothing from the peer is queued (or the wait ran out while strays were dropped, or a turn's
// worth of strays was: what waits behind them is read at the next turn).
int net_take(transfer& t);
// Waits within the current wait for the next datagram from the peer: its length, NET_TIMED_OUT,
// NET_STOPPED when a stop was raised (the server drops a datagram that came with the stop), or
// NET_SEND_DUE when the pace lets held-back blocks go.
int net_recv(transfer& t);
void net_close(transfer& t);
// Makes the socket's buffers hold a window of blocks of these sizes where the system allows;
// the largest window, up to window, that both buffers hold: a sender never asks more of its
// send queue than it holds, a receiver never loses a window's blocks in a burst.
int net_hold_window(transfer& t, int block, int window);
// The socket stops blocking, and hears what the network reports about the datagrams it sends.
void net_unblock(transfer& t);
void net_block(transfer& t);

// The start-up line of the socket layer, traced when the server is enabled or a transfer starts.
std::string winsock_line();
