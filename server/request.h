// What the server does with the first datagram of a transfer: a read or write request is parsed,
// checked against the filename policy and the permissions, and either refused with one ERROR or
// answered with the transfer's first packet.
#pragma once

#include <cstdint>

struct transfer;

// State machine handlers for a read and a write request.
int read_request(transfer& t, const uint8_t* packet, int length);
int write_request(transfer& t, const uint8_t* packet, int length);
// 0 when the request is accepted (file open, progress started), -1 when refused with an ERROR.
int recv_xRQ(transfer& t, int kind, const uint8_t* data, int length);
