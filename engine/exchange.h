// The exchange of DATA and ACK. In the plain protocol (RFC 1350) it is lock step: every block is
// acknowledged and the next goes out only when the ACK of the last one arrives. With a
// negotiated window (RFC 7440) the sender keeps a window of blocks out and in memory, and the
// receiver acknowledges the last block of each window, or the last block it took in order when
// one is missing. A block shorter than a full one ends the file.
#pragma once

#include <cstdint>

struct transfer;

// Handlers of the state machine; packet points to the block number, length excludes the opcode.
int recv_DATA(transfer& t, const uint8_t* packet, int length);
int recv_ACK(transfer& t, const uint8_t* packet, int length);
// The sender's start: the first window goes out, as if block 0 had been acknowledged.
void send_first_window(transfer& t);
// Sends what the pace held back and now lets go, at most datagrams of it (send_held tells that
// some waits).
void send_more(transfer& t, int datagrams);
// A wait ran out: what was sent and not yet acknowledged goes out again.
void resend(transfer& t);
