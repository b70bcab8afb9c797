#include "address.h"

#include "neighbours.h"
#include "socket.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#endif

namespace {

// A link's scope is its interface: by number on both systems, by name on Linux, whose
// names (eth0) are what its users know; Windows shows the number.
uint32_t scope_parse(const std::string& text) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
        return text.size() < 10 ? static_cast<uint32_t>(std::stoul(text)) : 0;
#ifdef _WIN32
    return 0;
#else
    return if_nametoindex(text.c_str());
#endif
}

std::string scope_text(uint32_t scope) {
#ifndef _WIN32
    char name[IF_NAMESIZE] = {};
    if (if_indextoname(scope, name)) return name;
#endif
    return std::to_string(scope);
}

} // namespace

net_endpoint ipv4_endpoint(uint32_t address, uint16_t port) {
    net_endpoint e;
    e.family = net_family::v4;
    uint32_t network = htonl(address);
    std::memcpy(e.address.data(), &network, 4);
    e.port = port;
    return e;
}

uint32_t ipv4_of(const net_endpoint& endpoint) {
    if (endpoint.family != net_family::v4) return 0;
    uint32_t network = 0;
    std::memcpy(&network, endpoint.address.data(), 4);
    return ntohl(network);
}

net_endpoint any_address(net_family family, uint16_t port) {
    net_endpoint e;
    e.family = family;
    e.port = port;
    return e;
}

bool is_any_address(const net_endpoint& endpoint) {
    return std::all_of(endpoint.address.begin(), endpoint.address.end(),
                       [](uint8_t b) { return b == 0; });
}

bool same_address(const net_endpoint& a, const net_endpoint& b) {
    return a.family == b.family && a.address == b.address;
}

int compare_addresses(const net_endpoint& a, const net_endpoint& b) {
    return std::memcmp(a.address.data(), b.address.data(), a.address.size());
}

bool same_prefix(const net_endpoint& a, const net_endpoint& b, int bits) {
    for (int i = 0; i < bits; ++i) {
        int bit = 7 - i % 8;
        if (((a.address[static_cast<size_t>(i / 8)] >> bit) & 1) !=
            ((b.address[static_cast<size_t>(i / 8)] >> bit) & 1))
            return false;
    }
    return true;
}

std::string address_text(const net_endpoint& endpoint) {
    char text[INET6_ADDRSTRLEN] = {};
    if (endpoint.family == net_family::v4)
        return inet_ntop(AF_INET, endpoint.address.data(), text, sizeof text) ? text : "";
    if (endpoint.family != net_family::v6) return "";
    if (!inet_ntop(AF_INET6, endpoint.address.data(), text, sizeof text)) return "";
    std::string result = text;
    if (endpoint.scope) result.append("%").append(scope_text(endpoint.scope));
    return result;
}

std::string endpoint_text(const net_endpoint& endpoint) {
    std::string address = address_text(endpoint);
    if (endpoint.family == net_family::v6) address = "[" + address + "]";
    return address + ":" + std::to_string(endpoint.port);
}

bool host_port_split(const std::string& text, std::string* host, int* port) {
    *port = 0;
    std::string rest;
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos) return false;
        *host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (rest.empty()) return true;
        if (rest[0] != ':') return false;
        rest = rest.substr(1);
    } else {
        size_t colon = text.find(':');
        // More than one colon: an IPv6 address without brackets, and so without a port.
        if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
            *host = text;
            return true;
        }
        *host = text.substr(0, colon);
        rest = text.substr(colon + 1);
    }
    if (rest.empty() || rest.size() > 5 ||
        rest.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *port = std::stoi(rest);
    return *port >= 1 && *port <= 65535;
}

std::string ipv4_text(uint32_t address) { return address_text(ipv4_endpoint(address)); }

bool ipv4_parse(const std::string& text, uint32_t* address) {
    // inet_addr stops at the first blank and takes what came before it: the whole text counts.
    if (text.empty() || text.find_first_not_of("0123456789abcdefABCDEFxX.") != std::string::npos)
        return false;
    unsigned long network = inet_addr(text.c_str());
    if (network == INADDR_NONE) return false;
    *address = ntohl(static_cast<uint32_t>(network));
    return true;
}

bool address_parse(const std::string& text, net_endpoint* endpoint) {
    uint32_t v4 = 0;
    if (ipv4_parse(text, &v4)) {
        uint16_t port = endpoint->port;
        *endpoint = ipv4_endpoint(v4, port);
        return true;
    }
    std::string address = text.substr(0, text.find('%'));
    std::array<uint8_t, 16> bytes{};
    if (address.find(':') == std::string::npos ||
        inet_pton(AF_INET6, address.c_str(), bytes.data()) != 1)
        return false;
    uint32_t scope = 0;
    if (address.size() < text.size()) {
        scope = scope_parse(text.substr(address.size() + 1));
        if (scope == 0) return false;
    }
    endpoint->family = net_family::v6;
    endpoint->address = bytes;
    endpoint->scope = scope;
    return true;
}

bool host_resolve(const std::string& host, host_lookup* result, net_family only) {
    addrinfo hints{};
    hints.ai_family = only == net_family::v4   ? AF_INET
                      : only == net_family::v6 ? AF_INET6
                                               : AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    sockets_ready();
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return false;
    result->official_name = list->ai_canonname ? list->ai_canonname : host;
    result->addresses.clear();
    for (addrinfo* a = list; a; a = a->ai_next) {
        net_endpoint e;
        if (a->ai_family == AF_INET) {
            e = ipv4_endpoint(ntohl(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr));
        } else if (a->ai_family == AF_INET6) {
            auto* six = reinterpret_cast<sockaddr_in6*>(a->ai_addr);
            e.family = net_family::v6;
            std::memcpy(e.address.data(), &six->sin6_addr, 16);
            e.scope = six->sin6_scope_id;
        } else {
            continue;
        }
        if (std::find(result->addresses.begin(), result->addresses.end(), e) ==
            result->addresses.end())
            result->addresses.push_back(e);
    }
    freeaddrinfo(list);
    return !result->addresses.empty();
}

std::string hardware_name(const unsigned char* bytes, size_t length) {
    std::string name = "01";
    for (size_t i = 0; i < length; ++i) {
        char part[4];
        std::snprintf(part, sizeof part, "-%02x", bytes[i]);
        name += part;
    }
    return name;
}
