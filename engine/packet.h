// TFTP packets (RFC 1350) as both programs build and parse them.
#pragma once

#include <cstdint>

// The payload of a full DATA block; every buffer size follows from it.
constexpr int block_size = 512;
// A receive or send buffer: room for any packet of either program with plenty to spare.
constexpr int packet_buffer_size = 4 * block_size;

// The port TFTP has always used, for a machine whose service database lacks "tftp".
constexpr int tftp_well_known_port = 69;

enum : int { OP_NONE = 0, OP_RRQ = 1, OP_WRQ = 2, OP_DATA = 3, OP_ACK = 4, OP_ERROR = 5 };
enum : int { MODE_NETASCII = 0, MODE_OCTET = 1 };


inline uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline void put16(uint8_t* p, int value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

struct transfer;

// Builders: each traces, builds in the transfer's send_buf, sets send_len and sends to the peer.
void send_ACK(transfer& t, int32_t block);
void send_DATA(transfer& t, int32_t block, int size); // the payload is in send_buf from offset 4
void send_ERROR(transfer& t, int code, const char* text);

// Lays out an RRQ or WRQ in buffer; the result is its length.
int build_request(uint8_t* buffer, int opcode, const char* name, const char* mode);
// Lays out an ERROR in buffer; the result is its length.
int build_error(uint8_t* buffer, int code, const char* text);
