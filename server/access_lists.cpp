#include "access_lists.h"

#include "client_names.h"
#include "diag/report.h"
#include "diag/trace.h"
#include "settings.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// Separators between entries; a range holds blanks of its own, so its list is not split at them.
constexpr const char* client_separators = " ,\t\r\n";
constexpr const char* range_separators = ",\t\r\n";
constexpr const char* mask_separators = " ,\t\r\n";

std::vector<std::string> entries(const std::string& text, const char* separators) {
    std::vector<std::string> found;
    size_t at = 0;
    while ((at = text.find_first_not_of(separators, at)) != std::string::npos) {
        size_t end = text.find_first_of(separators, at);
        found.push_back(text.substr(at, end - at));
        at = end;
    }
    return found;
}

// A range entry read as "start - end": the start runs to a blank or a dash, a run of blanks and
// dashes follows, the end runs to a blank. On a bad address, bad holds the part that is bad.
enum class range_fault { none, no_dash, bad_address };

range_fault read_range(const std::string& entry, net_endpoint* start, net_endpoint* end,
                       std::string* bad) {
    if (entry.find('-') == std::string::npos) return range_fault::no_dash;
    size_t at = entry.find_first_not_of(' ');
    size_t start_end = entry.find_first_of(" -", at);
    std::string first = entry.substr(at, start_end - at);
    at = entry.find_first_not_of(" -", start_end);
    std::string last = at == std::string::npos ? "" : entry.substr(at, entry.find(' ', at) - at);
    // An entry that begins with its dash has no start to name: the entry stands for it.
    *bad = first.empty() ? entry : first;
    if (!address_parse(first, start)) return range_fault::bad_address;
    *bad = last;
    // Both ends of one family: a range is compared as whole addresses.
    if (!address_parse(last, end) || end->family != start->family) return range_fault::bad_address;
    return range_fault::none;
}

// A mask's four parts; false when it has not exactly four.
bool mask_parts(const std::string& mask, std::vector<std::string>* parts) {
    parts->clear();
    size_t at = 0;
    for (;;) {
        size_t dot = mask.find('.', at);
        parts->push_back(mask.substr(at, dot - at));
        if (dot == std::string::npos) break;
        at = dot + 1;
    }
    return parts->size() == 4;
}

// A mask both checks accept: an address once its stars are read as digits, in four parts (a
// shorter address form would match no client).
bool usable_mask(const std::string& mask, std::vector<std::string>* parts) {
    std::string ones = mask;
    std::replace(ones.begin(), ones.end(), '*', '1');
    uint32_t ignored;
    return ipv4_parse(ones, &ignored) && mask_parts(mask, parts);
}

int leading_number(const std::string& part) {
    int value = 0;
    for (char c : part) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        value = value * 10 + (c - '0');
        if (value > 255) return -1; // no octet matches
    }
    return value;
}

// The dialog wants every '*' to be a whole part of its mask: the first character followed by a
// dot, the last one preceded by a dot, any other one between two dots.
bool stars_are_whole_parts(const std::string& mask) {
    const size_t last = mask.size() - 1;
    for (size_t i = 0; i < mask.size(); ++i) {
        if (mask[i] != '*') continue;
        bool dot_before = i > 0 && mask[i - 1] == '.';
        bool dot_after = i < last && mask[i + 1] == '.';
        bool whole = i == 0 ? dot_after : i == last ? dot_before : dot_before && dot_after;
        if (!whole) return false;
    }
    return true;
}

// A mask in the prefix form: an address of either family and how many of its first bits a
// client's must share. False when the entry is not one.
bool prefix_mask(const std::string& entry, net_endpoint* address, int* bits) {
    size_t slash = entry.find('/');
    if (slash == std::string::npos || !address_parse(entry.substr(0, slash), address)) return false;
    std::string count = entry.substr(slash + 1);
    int most = address->family == net_family::v4 ? 32 : 128;
    if (count.empty() || count.size() > 3 ||
        count.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *bits = std::stoi(count);
    return *bits <= most;
}

} // namespace

void access_lists_resolve() {
    std::vector<std::string> names;
    for (const std::string& entry : entries(settings_now()->ServiceIPC, client_separators)) {
        net_endpoint address;
        if (!address_parse(entry, &address)) names.push_back(entry);
    }
    client_names_resolve(names);
}

int tftp_netvalC(const net_endpoint& client, const std::string& list) {
    const std::string text = address_text(client);
    for (const std::string& entry : entries(list, client_separators)) {
        net_endpoint named;
        bool admitted = false;
        if (address_parse(entry, &named)) {
            admitted = same_address(named, client);
        } else {
            std::string official;
            admitted = client_name_matches(entry, client, &official);
            if (admitted)
                trace_line("tftp_netvalC: Connection accepted from client %s (%s).", text.c_str(),
                           official.c_str());
        }
        if (admitted) {
            trace_line("tftp_netvalC: Connection accepted from client %s.", text.c_str());
            return 0;
        }
    }
    return -1;
}

int tftp_netvalR(const net_endpoint& client, const std::string& list) {
    const std::string text = address_text(client);
    for (const std::string& entry : entries(list, range_separators)) {
        net_endpoint start, end;
        std::string bad;
        range_fault fault = read_range(entry, &start, &end, &bad);
        if (fault == range_fault::no_dash) {
            trace_line("tftp_netvalR: %s is not a valid range.", entry.c_str());
            continue;
        }
        if (fault == range_fault::bad_address) {
            trace_line("tftp_netvalR: %s is not a valid IP range address.", bad.c_str());
            continue;
        }
        // Whole addresses: a range that spans an octet boundary has no holes.
        if (start.family == client.family && compare_addresses(start, client) <= 0 &&
            compare_addresses(client, end) <= 0) {
            trace_line("tftp_netvalR: Accepted client %s in range '%s'.", text.c_str(),
                       entry.c_str());
            return 0;
        }
    }
    return -1;
}

int tftp_netvalW(const net_endpoint& client, const std::string& list) {
    const std::string text = address_text(client);
    std::vector<std::string> octets;
    bool dotted = client.family == net_family::v4 && mask_parts(text, &octets);
    for (const std::string& entry : entries(list, mask_separators)) {
        net_endpoint prefix;
        int bits = 0;
        if (prefix_mask(entry, &prefix, &bits)) {
            if (prefix.family == client.family && same_prefix(prefix, client, bits)) {
                trace_line("tftp_netvalW: Client %s accepted. Matched with '%s'.", text.c_str(),
                           entry.c_str());
                return 0;
            }
            continue;
        }
        std::vector<std::string> parts;
        if (!usable_mask(entry, &parts)) {
            trace_line("tftp_netvalW: %s is not a valid IP mask address.", entry.c_str());
            continue;
        }
        bool matches = dotted;
        for (int i = 0; matches && i < 4; ++i)
            matches = parts[static_cast<size_t>(i)] == "*" ||
                      leading_number(parts[static_cast<size_t>(i)]) ==
                          std::stoi(octets[static_cast<size_t>(i)]);
        if (matches) {
            trace_line("tftp_netvalW: Client %s accepted. Matched with '%s'.", text.c_str(),
                       entry.c_str());
            trace_line("tftp_netvalW: Connection accepted from client %s.", text.c_str());
            return 0;
        }
    }
    return -1;
}

bool access_lists_check(const server_settings& settings) {
    return access_lists_check(settings.ServiceIPC, settings.ServiceIPR, settings.ServiceIPW, false);
}

int tftp_netvalidate(const net_endpoint& sender) {
    const auto settings = settings_now();
    if (settings->ServiceIP != 1) return 0;
    std::string client = address_text(sender);
    if (client.empty()) {
        report_error("tftp_netvalidate: Failed to extract the requesting client's IP address.");
        return -1;
    }
    if (tftp_netvalC(sender, settings->ServiceIPC) == 0 ||
        tftp_netvalR(sender, settings->ServiceIPR) == 0 ||
        tftp_netvalW(sender, settings->ServiceIPW) == 0)
        return 0;
    trace_line("tftp_netvalidate: Connection refused from client %s.", client.c_str());
    return -1;
}

bool access_lists_check(const std::string& clients, const std::string& ranges,
                        const std::string& masks, bool resolve_names) {
    bool passed = true;
    for (const std::string& entry : entries(clients, client_separators)) {
        net_endpoint address;
        host_lookup host;
        if (resolve_names && !address_parse(entry, &address) && !host_resolve(entry, &host)) {
            report_error("Failed to resolve host %s.", entry.c_str());
            passed = false;
        }
    }
    for (const std::string& entry : entries(ranges, range_separators)) {
        net_endpoint start, end;
        std::string bad;
        range_fault fault = read_range(entry, &start, &end, &bad);
        if (fault == range_fault::no_dash)
            report_error("%s is not a valid range.", entry.c_str());
        else if (fault == range_fault::bad_address)
            report_error("%s is not a valid IP range address.", bad.c_str());
        else if (compare_addresses(start, end) > 0)
            report_error("%s has its starting address greater than its ending address.",
                         entry.c_str());
        passed = passed && fault == range_fault::none && compare_addresses(start, end) <= 0;
    }
    for (const std::string& entry : entries(masks, mask_separators)) {
        // Once any fault has been found, only the placement of '*' is still examined.
        std::vector<std::string> parts;
        net_endpoint prefix;
        int bits = 0;
        bool valid = prefix_mask(entry, &prefix, &bits) ||
                     (stars_are_whole_parts(entry) && (!passed || usable_mask(entry, &parts)));
        if (!valid) {
            report_error("%s is not a valid IP mask address.", entry.c_str());
            passed = false;
        }
    }
    return passed;
}
