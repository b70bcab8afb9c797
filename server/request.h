// What the server does with the first datagram of a transfer: a read or write request is parsed,
// checked against the filename policy and the permissions, and either refused with one ERROR or
// answered with the transfer's first packet.
#pragma once

#include <cstdint>

struct transfer;

// State machine handlers for a read and a write request.
int read_request(transfer& t, const uint8_t* packet, int length);
int write_request(transfer& t, const uint8_t* packet, int length);
// After an OACK: a read goes on at the client's ACK 0, a write at its DATA 1; an ERROR from the
// client refuses the options and ends the transfer quietly.
int oack_acknowledged(transfer& t, const uint8_t* packet, int length);
int oack_followed_by_data(transfer& t, const uint8_t* packet, int length);
int options_refused(transfer& t, const uint8_t* packet, int length);
struct option_set;

// Whether a datagram is a read or write request with its name and mode, each ended by its NUL:
// only such a datagram is worth an answer before a transfer begins.
bool request_well_formed(const uint8_t* datagram, int length);
// 0 when the request is accepted (file open, progress started), with the options the server
// agrees to in agreed (none when the extensions are off); -1 when refused with an ERROR.
int recv_xRQ(transfer& t, int kind, const uint8_t* data, int length, option_set* agreed);
