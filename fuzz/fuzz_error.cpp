// The client's reading of an ERROR that answers its request.
#include "client/client_role.h"
#include "client/session.h"
#include "fuzz_setup.h"
#include "ui/test_backend.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_prepare(client_role);
    // The state machine hands over at least the two bytes of the code.
    std::vector<uint8_t> packet(data, data + size);
    if (packet.size() < 2) packet.resize(2);
    fuzz_transfer t;
    recv_ERROR(t, packet.data(), static_cast<int>(packet.size()));
    last_server_error_text();
    return 0;
}
