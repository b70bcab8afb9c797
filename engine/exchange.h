// The lock-step exchange of RFC 1350: every DATA block is acknowledged, the next block goes out
// only when the ACK of the last one arrives, and a block shorter than a full one ends the file.
#pragma once

#include <cstdint>

struct transfer;

// Handlers of the state machine; packet points to the block number, length excludes the opcode.
int recv_DATA(transfer& t, const uint8_t* packet, int length);
int recv_ACK(transfer& t, const uint8_t* packet, int length);
