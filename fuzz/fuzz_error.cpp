// The client's reading of what answers its request: an ERROR, or an OACK to the options it
// asked for. The first byte chooses which, and for an OACK the direction; the rest is the packet
// after its opcode.
#include "client/client_role.h"
#include "client/session.h"
#include "diag/report.h"
#include "engine/file_layer.h"
#include "fuzz_setup.h"
#include "ui/test_backend.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string& folder = fuzz_prepare(client_role);
    // The state machine hands over at least the two bytes of the code.
    std::vector<uint8_t> packet(data + 1, data + size);
    if (packet.size() < 2) packet.resize(2);
    fuzz_transfer t;
    if ((data[0] & 1) == 0) {
        recv_ERROR(t, packet.data(), static_cast<int>(packet.size()));
        return 0;
    }
    t.kind = data[0] & 2 ? OP_WRQ : OP_RRQ;
    if (t.kind == OP_WRQ) std::ofstream(folder + "/up.bin") << "up";
    file_open(t, folder + (t.kind == OP_WRQ ? "/up.bin" : "/down.bin"),
              t.kind == OP_WRQ ? "rb" : "wb", t.kind == OP_WRQ ? 0 : 1);
    for (auto [name, value] : {std::pair{option_name::blksize, 1468},
                               {option_name::tsize, 0},
                               {option_name::timeout, 5},
                               {option_name::windowsize, 16}})
        t.asked.set(name, value);
    try {
        recv_OACK(t, packet.data(), static_cast<int>(packet.size()));
    } catch (const transfer_ended&) {
        // an answer beyond what was asked ends the transfer
    }
    return 0;
}
