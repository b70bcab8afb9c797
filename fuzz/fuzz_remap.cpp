// The remap rules: a rules file's text, then after a NUL byte the name asked for. Any text is
// read or refused, and any name through rules that read comes out served, refused or cut off,
// within its bounds: a served name no longer than the rules may make one. The first byte chooses
// the request's kind and the client's family.
#include "engine/packet.h"
#include "server/remap_rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = input.find('\0');
    const std::string text = input.substr(0, split);
    const std::string name = split == std::string::npos ? "a" : input.substr(split + 1);
    remap_rules rules;
    if (!rules.parse(text).empty()) return 0;
    net_endpoint client;
    client.family = data[0] & 2 ? net_family::v6 : net_family::v4;
    client.address = {192, 0, 2, 169, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const remap_rules::outcome made = rules.apply(name, data[0] & 1 ? OP_WRQ : OP_RRQ, client);
    if (made.result == remap_rules::outcome::kind::served && made.name.size() > 1024) std::abort();
    if (made.result == remap_rules::outcome::kind::cut_off && made.why.empty()) std::abort();
    return 0;
}
