// The access lists' reading of their three texts, for the check of a sender and for the
// dialog's check. The first four bytes are the sender's address; the rest holds the three texts
// separated by NUL bytes. Of the individual clients only the entries that are addresses are
// kept, so that the check asks no name server (it would take seconds per input).
#include "fuzz_setup.h"
#include "server/access_lists.h"
#include "server/server_role.h"
#include "server/settings.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    fuzz_prepare(server_role);
    uint32_t address =
        static_cast<uint32_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3];
    std::string texts[3];
    int field = 0;
    for (size_t i = 4; i < size; ++i) {
        if (data[i] == 0 && field < 2) {
            ++field;
            continue;
        }
        texts[field] += static_cast<char>(data[i]);
    }
    std::string addresses;
    size_t at = 0;
    while ((at = texts[0].find_first_not_of(" ,\t\r\n", at)) != std::string::npos) {
        size_t end = texts[0].find_first_of(" ,\t\r\n", at);
        std::string entry = texts[0].substr(at, end - at);
        uint32_t ignored;
        if (ipv4_parse(entry, &ignored))
            addresses += entry + (end < texts[0].size() ? texts[0][end] : ' ');
        at = end;
    }
    texts[0] = addresses;
    ServiceIP = 1;
    ServiceIPC.set(texts[0]);
    ServiceIPR.set(texts[1]);
    ServiceIPW.set(texts[2]);
    tftp_netvalidate({address, 69});
    access_lists_check(texts[0], texts[1], texts[2]);
    return 0;
}
