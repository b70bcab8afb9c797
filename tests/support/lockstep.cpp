#include "lockstep.h"

namespace {

constexpr size_t block = 512;

int opcode_of(const std::string& p) {
    return p.size() >= 2 ? (static_cast<uint8_t>(p[0]) << 8 | static_cast<uint8_t>(p[1])) : -1;
}
int number_of(const std::string& p) {
    return p.size() >= 4 ? (static_cast<uint8_t>(p[2]) << 8 | static_cast<uint8_t>(p[3])) : -1;
}

} // namespace

lockstep_outcome send_blocks(const udp_peer& socket, uint16_t port, const std::string& wire,
                             int wait_ms) {
    lockstep_outcome out;
    out.peer_port = port;
    size_t offset = 0;
    for (int n = 1;; ++n) {
        std::string payload = wire.substr(std::min(offset, wire.size()), block);
        socket.send_to(port, tftp_packet(3, n & 0xffff, payload));
        out.blocks = n;
        for (;;) {
            auto got = socket.receive(wait_ms);
            if (!got) return out;
            if (got->from_port != port) continue;
            if (opcode_of(got->bytes) == 5) {
                out.error = got->bytes.substr(4, got->bytes.find('\0', 4) - 4);
                return out;
            }
            if (opcode_of(got->bytes) == 4 && number_of(got->bytes) == (n & 0xffff)) break;
        }
        offset += block;
        if (payload.size() < block) {
            out.completed = true;
            return out;
        }
    }
}

lockstep_outcome take_blocks(const udp_peer& socket, uint16_t port, int wait_ms, int first) {
    lockstep_outcome out;
    out.peer_port = port;
    for (int expected = first;;) {
        auto got = socket.receive(wait_ms);
        if (!got) return out;
        if (out.peer_port == 0) out.peer_port = got->from_port;
        if (got->from_port != out.peer_port) continue;
        if (opcode_of(got->bytes) == 5) {
            out.error = got->bytes.substr(4, got->bytes.find('\0', 4) - 4);
            return out;
        }
        if (opcode_of(got->bytes) != 3) continue;
        int n = number_of(got->bytes);
        // A block that is neither the next one nor a repeat of the last one (numbers roll over
        // from 65535 to 0) ends the taking, unacknowledged.
        if (n != (expected & 0xffff) && n != ((expected - 1) & 0xffff)) return out;
        socket.send_to(out.peer_port, tftp_packet(4, n));
        if (n != (expected & 0xffff)) continue; // a repeat, acknowledged again
        ++expected;
        ++out.blocks;
        std::string payload = got->bytes.substr(4);
        out.wire += payload;
        if (payload.size() < block) {
            out.completed = true;
            return out;
        }
    }
}

std::string netascii_encode(const std::string& local) {
    std::string wire;
    for (char c : local) {
        if (c == '\n')
            wire += "\r\n";
        else if (c == '\r')
            wire += std::string("\r\0", 2);
        else
            wire += c;
    }
    return wire;
}

std::string netascii_decode(const std::string& wire) {
    std::string local;
    for (size_t i = 0; i < wire.size(); ++i) {
        if (wire[i] == '\r' && i + 1 < wire.size()) {
            local += wire[++i] == '\n' ? '\n' : '\r';
            continue;
        }
        local += wire[i];
    }
    return local;
}
