#include "packet.h"

#include "diag/role.h"
#include "diag/trace.h"
#include "endpoint.h"
#include "options.h"
#include "transfer.h"

#include <algorithm>
#include <cstring>

namespace {

int put_string(uint8_t* at, const char* text) {
    size_t length = std::strlen(text) + 1;
    std::memcpy(at, text, length);
    return static_cast<int>(length);
}

} // namespace

bool take_text(const uint8_t*& at, const uint8_t* end, std::string* text) {
    const uint8_t* nul = std::find(at, end, 0);
    if (nul == end) return false;
    text->assign(reinterpret_cast<const char*>(at), static_cast<size_t>(nul - at));
    at = nul + 1;
    return true;
}

int build_request(uint8_t* buffer, int opcode, const char* name, const char* mode) {
    put16(buffer, opcode);
    int length = 2 + put_string(buffer + 2, name);
    return length + put_string(buffer + length, mode);
}

int build_error(uint8_t* buffer, int code, const char* text) {
    put16(buffer, OP_ERROR);
    put16(buffer + 2, code);
    return 4 + put_string(buffer + 4, text);
}

std::string with_peer_words(std::string ours, const uint8_t* packet, int length) {
    std::string words;
    for (int i = 2; i < length && packet[i] != 0; ++i)
        if (packet[i] >= ' ' && packet[i] < 127) words += static_cast<char>(packet[i]);
    if (words.empty()) return ours;
    ours += ' ';
    ours += role().texts.peer_said;
    ours += words;
    return ours;
}

void send_ACK(transfer& t, int64_t block) {
    trace_line(role().texts.send_ack, static_cast<int>(block));
    put16(t.send_buf.data(), OP_ACK);
    put16(t.send_buf.data() + 2, static_cast<int>(block & 0xffff));
    t.send_len = 4;
    net_send(t, t.send_buf.data(), t.send_len);
    t.op_sent = OP_ACK;
}

uint8_t* block_slot(transfer& t, int64_t block) {
    const size_t packet = static_cast<size_t>(t.block_size) + 4;
    const size_t slot = static_cast<size_t>(block % t.window_size);
    // The window takes its memory as it fills.
    if (t.send_buf.size() < (slot + 1) * packet) t.send_buf.resize((slot + 1) * packet);
    return t.send_buf.data() + slot * packet;
}

bool send_DATA(transfer& t, int64_t block, int size) {
    trace_line(role().texts.send_data, size, static_cast<int>(block));
    uint8_t* slot = block_slot(t, block);
    put16(slot, OP_DATA);
    put16(slot + 2, static_cast<int>(block & 0xffff));
    t.send_len = size + 4;
    t.op_sent = OP_DATA;
    return net_send(t, slot, t.send_len);
}

void send_OACK(transfer& t, const option_set& agreed) {
    trace_line("send_OACK: Options answered: %s.", options_text(agreed).c_str());
    put16(t.send_buf.data(), OP_OACK);
    int length =
        options_write(t.send_buf.data() + 2, static_cast<int>(t.send_buf.size()) - 2, agreed);
    t.send_len = 2 + length; // a few short pairs always fit a packet buffer
    net_send(t, t.send_buf.data(), t.send_len);
    t.op_sent = OP_OACK;
}

void tell_peer(transfer& t, int code, const std::string& text) {
    if (t.socket < 0 || t.peer.family == net_family::none) return;
    trace_line("Sending ERROR, code = %d, string = %s.", code, text.c_str());
    uint8_t packet[4 + 256];
    int length = build_error(packet, code, text.substr(0, 255).c_str());
    sock_send_to(t.socket, packet, static_cast<size_t>(length), t.peer);
}

void tell_protocol_violation(transfer& t) {
    if (t.op_sent != OP_NONE) tell_peer(t, 4, "Illegal TFTP operation.");
}

void send_ERROR(transfer& t, int code, const char* text) {
    trace_line("Sending ERROR, code = %d, string = %s.", code, text);
    t.send_len = build_error(t.send_buf.data(), code, text);
    net_send(t, t.send_buf.data(), t.send_len);
}
