// The access lists' reading of their three texts, for the check of a sender and for the
// dialog's check, and their agreement: lists the dialog takes must admit what they name (an
// individual client, both ends of a range in order, what a plain mask names). The
// first byte chooses the sender's family, the next four or sixteen bytes are its address; the
// rest holds the three texts separated by NUL bytes. Of the individual clients only the entries
// that are addresses are kept, so that the check asks no name server (it would take seconds per
// input).
#include "fuzz_setup.h"
#include "server/access_lists.h"
#include "server/server_role.h"
#include "server/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> found;
    size_t at = 0;
    while ((at = text.find_first_not_of(" ,\t\r\n", at)) != std::string::npos) {
        size_t end = text.find_first_of(" ,\t\r\n", at);
        found.push_back(text.substr(at, end - at));
        at = end;
    }
    return found;
}

// A mask of plain parts (stars, or decimal numbers to 255) and the address it names with its
// stars as 7; false for any other mask. A plain mask of other than four parts names nothing.
bool plain_mask(const std::string& mask, std::vector<unsigned>* parts) {
    parts->clear();
    size_t at = 0;
    for (;;) {
        size_t dot = mask.find('.', at);
        std::string text = mask.substr(at, dot - at);
        if (text == "*") {
            parts->push_back(7);
        } else {
            if (text.empty() || text.size() > 3 ||
                text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) > 255)
                return false;
            parts->push_back(static_cast<unsigned>(std::stoi(text)));
        }
        if (dot == std::string::npos) return true;
        at = dot + 1;
    }
}

bool admitted(uint32_t address) { return tftp_netvalidate(ipv4_endpoint(address, 69)) == 0; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 17) return 0;
    fuzz_prepare(server_role);
    net_endpoint sender;
    sender.family = data[0] & 1 ? net_family::v6 : net_family::v4;
    sender.port = 69;
    const size_t length = sender.family == net_family::v6 ? 16 : 4;
    std::copy(data + 1, data + 1 + length, sender.address.begin());
    std::string texts[3];
    int field = 0;
    for (size_t i = 1 + length; i < size; ++i) {
        if (data[i] == 0 && field < 2) {
            ++field;
            continue;
        }
        texts[field] += static_cast<char>(data[i]);
    }
    std::string addresses;
    for (const std::string& entry : words(texts[0])) {
        net_endpoint ignored;
        if (address_parse(entry, &ignored)) addresses += entry + " ";
    }
    texts[0] = addresses;
    server_settings lists;
    lists.ServiceIP = 1;
    lists.ServiceIPC = texts[0];
    lists.ServiceIPR = texts[1];
    lists.ServiceIPW = texts[2];
    settings_serve(lists);
    tftp_netvalidate(sender);
    if (!access_lists_check(texts[0], texts[1], texts[2])) return 0;
    for (const std::string& entry : words(texts[0])) {
        net_endpoint named;
        named.port = 69;
        if (address_parse(entry, &named) && tftp_netvalidate(named) != 0) std::abort();
    }
    // A range in order names its two ends.
    for (size_t at = 0; at <= texts[1].size();) {
        size_t end = texts[1].find_first_of(",\t\r\n", at);
        std::string range = texts[1].substr(at, end - at);
        at = end == std::string::npos ? texts[1].size() + 1 : end + 1;
        size_t dash = range.find('-');
        net_endpoint low, high;
        low.port = high.port = 69;
        if (dash == std::string::npos || words(range.substr(0, dash)).size() != 1 ||
            words(range.substr(dash + 1)).size() != 1 ||
            !address_parse(words(range.substr(0, dash))[0], &low) ||
            !address_parse(words(range.substr(dash + 1))[0], &high) || low.family != high.family ||
            compare_addresses(low, high) > 0)
            continue;
        if (tftp_netvalidate(low) != 0 || tftp_netvalidate(high) != 0) std::abort();
    }
    for (const std::string& mask : words(texts[2])) {
        std::vector<unsigned> parts;
        if (!plain_mask(mask, &parts)) continue;
        if (parts.size() != 4) std::abort(); // taken by the dialog, matched by nothing
        if (!admitted(parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3])) std::abort();
    }
    return 0;
}
