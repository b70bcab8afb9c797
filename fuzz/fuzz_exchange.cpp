// The DATA and ACK handlers with the file layer under them, netascii included, in both roles:
// the first byte chooses role, direction, mode, window and block size, the next two the
// block expected; the rest is a run of packets, each a length byte and that many bytes after the
// opcode.
#include "client/client_role.h"
#include "diag/report.h"
#include "engine/exchange.h"
#include "engine/file_layer.h"
#include "engine/packet.h"
#include "fuzz_setup.h"
#include "server/server_role.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const bool server = data[0] & 1, sending = data[0] & 2;
    const std::string& folder = fuzz_prepare(server ? server_role : client_role);
    fuzz_transfer t;
    t.mode = data[0] & 4 ? MODE_NETASCII : MODE_OCTET;
    option_set agreed;
    agreed.set(option_name::windowsize, data[0] & 16 ? 4 : 1);
    agreed.set(option_name::blksize, data[0] & 32 ? 64 : 512);
    t.take_options(agreed);
    std::string path = folder + "/exchange.bin";
    if (sending) std::ofstream(path, std::ios::binary) << std::string(700, '\n') << "text\r\n";
    if (!file_open(t, path, sending ? "rb" : "wb", 0)) return 0;
    t.nextblknum = data[1] << 8 | data[2];
    t.acked = t.nextblknum - 1; // a sender is a block ahead of the last ACK at most when it starts
    t.send_next = t.nextblknum + 1;
    size_t at = 3;
    try {
        while (at < size) {
            size_t length = data[at++];
            if (length > size - at) length = size - at;
            uint8_t packet[256] = {};
            std::copy(data + at, data + at + length, packet);
            int body = static_cast<int>(length < 2 ? 2 : length); // the state machine's minimum
            int result = sending ? recv_ACK(t, packet, body) : recv_DATA(t, packet, body);
            at += length;
            if (result < 0) break;
        }
        if (t.file) file_close(t);
    } catch (const transfer_ended&) {
        // The peer's fault ends the server's transfer.
    } catch (const fuzz_fatal&) {
        // The peer's fault is fatal in the client.
    }
    return 0;
}
