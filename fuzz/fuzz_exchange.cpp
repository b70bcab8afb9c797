// The DATA and ACK handlers with the file layer under them, netascii included, in both roles:
// the first byte chooses role, direction and mode, the next two the block expected; the rest is
// a run of packets, each a length byte and that many bytes after the opcode.
#include "client/client_role.h"
#include "diag/report.h"
#include "diag/shared_flags.h"
#include "engine/endpoint.h"
#include "engine/exchange.h"
#include "engine/file_layer.h"
#include "engine/packet.h"
#include "fuzz_setup.h"
#include "server/server_role.h"
#include "ui/test_backend.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const bool server = data[0] & 1, sending = data[0] & 2;
    const std::string& folder = fuzz_prepare(server ? server_role : client_role);
    transfer_record& t = transfer_state;
    t.mode = data[0] & 4 ? MODE_NETASCII : MODE_OCTET;
    std::string path = folder + "/exchange.bin";
    if (sending) std::ofstream(path, std::ios::binary) << std::string(700, '\n') << "text\r\n";
    t.file = file_open(path, sending ? "rb" : "wb", 0);
    if (!t.file) return 0;
    t.nextblknum = data[1] << 8 | data[2];
    t.last_data_size = block_size;
    byte_count = 0;
    size_t at = 3;
    try {
        while (at < size) {
            size_t length = data[at++];
            if (length > size - at) length = size - at;
            uint8_t packet[packet_buffer_size] = {};
            std::copy(data + at, data + at + length, packet);
            int body = static_cast<int>(length < 2 ? 2 : length); // the state machine's minimum
            int result = sending ? recv_ACK(packet, body) : recv_DATA(packet, body);
            at += length;
            if (result < 0) break;
        }
        if (t.file) file_close(t.file);
    } catch (...) {
        // A fault of the peer: in the server it ends the transfer, in the client the abort ends
        // the thread. Either way the file is closed as the programs close it.
    }
    file_close_unchecked(t.file);
    fuzz_transfer_socket();
    return 0;
}
