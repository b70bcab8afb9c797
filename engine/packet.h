// TFTP packets (RFC 1350) as both programs build and parse them, and the transfer record that
// holds the last packet sent so that it can be sent again.
#pragma once

#include <cstdint>
#include <cstdio>

// The payload of a full DATA block; every buffer size follows from it.
constexpr int block_size = 512;
// A receive or send buffer: room for any packet of either program with plenty to spare.
constexpr int packet_buffer_size = 4 * block_size;

enum : int { OP_NONE = 0, OP_RRQ = 1, OP_WRQ = 2, OP_DATA = 3, OP_ACK = 4, OP_ERROR = 5 };
enum : int { MODE_NETASCII = 0, MODE_OCTET = 1 };

struct transfer_record {
    int op_sent = 0;        // opcode of the last packet sent; an ERROR leaves it unchanged
    int op_recv = 0;        // opcode of the packet being handled
    int32_t nextblknum = 0; // receiving: block expected next; sending: block last sent
    int last_data_size = 0; // payload of the last DATA sent
    int mode = MODE_OCTET;  // MODE_NETASCII or MODE_OCTET
    FILE* file = nullptr;   // the local file of the transfer
    uint8_t recv_buf[packet_buffer_size] = {};
    uint8_t send_buf[packet_buffer_size] = {}; // the last packet built; DATA payload at offset 4
    int send_len = 0;
};

extern transfer_record transfer_state;

inline uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline void put16(uint8_t* p, int value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

// Builders: each traces, builds in send_buf, sets send_len and sends to the peer.
void send_ACK(int32_t block);
void send_DATA(int32_t block, int size); // the payload is already in send_buf from offset 4
void send_ERROR(int code, const char* text);

// Lays out an RRQ or WRQ in buffer; the result is its length.
int build_request(uint8_t* buffer, int opcode, const char* name, const char* mode);
// Lays out an ERROR in buffer; the result is its length.
int build_error(uint8_t* buffer, int code, const char* text);
