// TFTP packets (RFC 1350) as both programs build and parse them.
#pragma once

#include "diag/report.h"

#include <cstdint>
#include <string>

// The payload of a full DATA block of the plain protocol.
constexpr int block_size = 512;
// A receive or send buffer of the plain protocol: room for any of its packets with plenty to
// spare. Negotiated block and window sizes make a transfer's own buffers larger.
constexpr int packet_buffer_size = 4 * block_size;

// The port TFTP has always used, for a machine whose service database lacks "tftp".
constexpr int tftp_well_known_port = 69;

enum : int {
    OP_NONE = 0,
    OP_RRQ = 1,
    OP_WRQ = 2,
    OP_DATA = 3,
    OP_ACK = 4,
    OP_ERROR = 5,
    OP_OACK = 6, // the extensions' option acknowledgement
};
enum : int { MODE_NETASCII = 0, MODE_OCTET = 1 };

// Reads the NUL-terminated text at `at`, which must end before end, and moves `at` past its NUL;
// false, with `at` unchanged, when no NUL comes before end.
bool take_text(const uint8_t*& at, const uint8_t* end, std::string* text);

inline uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline void put16(uint8_t* p, int value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

struct transfer;

// Builders: each traces, builds in the transfer's send_buf, sets send_len and sends to the peer.
void send_ACK(transfer& t, int64_t block);
// The block's payload is already in its window slot (block_slot), after room for the header.
bool send_DATA(transfer& t, int64_t block, int size);
uint8_t* block_slot(transfer& t, int64_t block);
void send_ERROR(transfer& t, int code, const char* text);
// Tells the peer why the transfer ends: one ERROR, never sent again, built beside the last packet
// so that nothing of the exchange changes. A send that fails changes nothing either: the
// transfer ends all the same.
void tell_peer(transfer& t, int code, const std::string& text);
struct option_set;
void send_OACK(transfer& t, const option_set& agreed);

// The peer broke the protocol: once the transfer is under way it is told so with ERROR 4 (a
// stray datagram at a listening port gets no answer), and the transfer ends with text.
void tell_protocol_violation(transfer& t);
template <typename... Args>
[[noreturn]] void protocol_violation(transfer& t, const char* text, Args... args) {
    tell_protocol_violation(t);
    report_transfer_fault(text, args...);
}

// Lays out an RRQ or WRQ in buffer; the result is its length.
int build_request(uint8_t* buffer, int opcode, const char* name, const char* mode);
// Lays out an ERROR in buffer; the result is its length.
int build_error(uint8_t* buffer, int code, const char* text);
// Our own words on an ERROR that came (packet at its code, length bytes from there), then the
// peer's, as the role introduces them ("The server said: ..."), without the bytes no line of
// text may hold.
std::string with_peer_words(std::string ours, const uint8_t* packet, int length);
