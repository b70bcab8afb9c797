#include "access_lists.h"

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

range_fault read_range(const std::string& entry, uint32_t* start, uint32_t* end, std::string* bad) {
    if (entry.find('-') == std::string::npos) return range_fault::no_dash;
    size_t at = entry.find_first_not_of(' ');
    size_t start_end = entry.find_first_of(" -", at);
    std::string first = entry.substr(at, start_end - at);
    at = entry.find_first_not_of(" -", start_end);
    std::string last = at == std::string::npos ? "" : entry.substr(at, entry.find(' ', at) - at);
    // An entry that begins with its dash has no start to name: the entry stands for it.
    *bad = first.empty() ? entry : first;
    if (!ipv4_parse(first, start)) return range_fault::bad_address;
    *bad = last;
    if (!ipv4_parse(last, end)) return range_fault::bad_address;
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

} // namespace

int tftp_netvalC(const std::string& client) {
    for (const std::string& entry : entries(ServiceIPC.get(), client_separators)) {
        bool admitted = entry == client;
        host_lookup host;
        if (!admitted) {
            if (!host_resolve(entry, &host)) continue;
            for (uint32_t address : host.addresses)
                admitted = admitted || ipv4_text(address) == client;
            if (admitted)
                trace_line("tftp_netvalC: Connection accepted from client %s (%s).", client.c_str(),
                           host.official_name.c_str());
            else
                trace_line("tftp_netvalC: Failed to resolve host %s.", entry.c_str());
        }
        if (admitted) {
            trace_line("tftp_netvalC: Connection accepted from client %s.", client.c_str());
            return 0;
        }
    }
    return -1;
}

int tftp_netvalR(const std::string& client) {
    uint32_t address;
    if (!ipv4_parse(client, &address)) return -1;
    for (const std::string& entry : entries(ServiceIPR.get(), range_separators)) {
        uint32_t start = 0, end = 0;
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
        if (start <= address && address <= end) {
            trace_line("tftp_netvalR: Accepted client %s in range '%s'.", client.c_str(),
                       entry.c_str());
            return 0;
        }
    }
    return -1;
}

int tftp_netvalW(const std::string& client) {
    std::vector<std::string> octets;
    if (!mask_parts(client, &octets)) return -1;
    for (const std::string& entry : entries(ServiceIPW.get(), mask_separators)) {
        std::vector<std::string> parts;
        if (!usable_mask(entry, &parts)) {
            trace_line("tftp_netvalW: %s is not a valid IP mask address.", entry.c_str());
            continue;
        }
        bool matches = true;
        for (int i = 0; i < 4; ++i)
            matches =
                matches && (parts[i] == "*" || leading_number(parts[i]) == std::stoi(octets[i]));
        if (matches) {
            trace_line("tftp_netvalW: Client %s accepted. Matched with '%s'.", client.c_str(),
                       entry.c_str());
            trace_line("tftp_netvalW: Connection accepted from client %s.", client.c_str());
            return 0;
        }
    }
    return -1;
}

int tftp_netvalidate(const ipv4_endpoint& sender) {
    if (ServiceIP != 1) return 0;
    std::string client = ipv4_text(sender.address);
    if (client.empty()) {
        report_error("tftp_netvalidate: Failed to extract the requesting client's IP address.");
        return -1;
    }
    if (tftp_netvalC(client) == 0 || tftp_netvalR(client) == 0 || tftp_netvalW(client) == 0)
        return 0;
    trace_line("tftp_netvalidate: Connection refused from client %s.", client.c_str());
    return -1;
}

bool access_lists_check(const std::string& clients, const std::string& ranges,
                        const std::string& masks) {
    bool passed = true;
    for (const std::string& entry : entries(clients, client_separators)) {
        uint32_t address;
        host_lookup host;
        if (!ipv4_parse(entry, &address) && !host_resolve(entry, &host)) {
            report_error("Failed to resolve host %s.", entry.c_str());
            passed = false;
        }
    }
    for (const std::string& entry : entries(ranges, range_separators)) {
        uint32_t start = 0, end = 0;
        std::string bad;
        range_fault fault = read_range(entry, &start, &end, &bad);
        if (fault == range_fault::no_dash)
            report_error("%s is not a valid range.", entry.c_str());
        else if (fault == range_fault::bad_address)
            report_error("%s is not a valid IP range address.", bad.c_str());
        else if (start > end)
            report_error("%s has its starting address greater than its ending address.",
                         entry.c_str());
        passed = passed && fault == range_fault::none && start <= end;
    }
    for (const std::string& entry : entries(masks, mask_separators)) {
        // Once any fault has been found, only the placement of '*' is still examined.
        std::vector<std::string> parts;
        bool valid = stars_are_whole_parts(entry) && (!passed || usable_mask(entry, &parts));
        if (!valid) {
            report_error("%s is not a valid IP mask address.", entry.c_str());
            passed = false;
        }
    }
    return passed;
}
