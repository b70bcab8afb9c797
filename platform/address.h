// Addresses of either IP family and their texts, behind calls that do not show the system's
// structures. Ports are in host byte order everywhere above this layer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class net_family : uint8_t { none, v4, v6 };

struct net_endpoint {
    net_family family = net_family::none;
    std::array<uint8_t, 16> address{}; // network byte order; an IPv4 address in the first four
    uint16_t port = 0;
    uint32_t scope = 0; // the interface of an IPv6 link-local address
    bool operator==(const net_endpoint&) const = default;
};

// An IPv4 endpoint from an address in host byte order.
net_endpoint ipv4_endpoint(uint32_t address, uint16_t port = 0);
// The IPv4 address in host byte order; 0 for any other.
uint32_t ipv4_of(const net_endpoint& endpoint);
// The any-address of a family, with a port.
net_endpoint any_address(net_family family, uint16_t port);
bool is_any_address(const net_endpoint& endpoint);
// Whether both name the same host, whatever their ports.
bool same_address(const net_endpoint& a, const net_endpoint& b);
// Orders two addresses of one family as whole numbers: negative, 0 or positive.
int compare_addresses(const net_endpoint& a, const net_endpoint& b);
// Whether the first prefix bits of the two addresses of one family are the same.
bool same_prefix(const net_endpoint& a, const net_endpoint& b, int bits);

// The address in its usual text: dotted for IPv4, the shortest form for IPv6 (with %scope).
std::string address_text(const net_endpoint& endpoint);
// "192.0.2.1:69" or "[2001:db8::1]:69".
std::string endpoint_text(const net_endpoint& endpoint);
// An IPv4 address (inet_addr's forms, the whole text) or an IPv6 address (with an optional
// %scope); the port is left as it is. False for anything else.
bool address_parse(const std::string& text, net_endpoint* endpoint);

// A host, or an address, with a port of its own or none: "host", "host:port", "192.0.2.1:69",
// "2001:db8::1" (all address, no port), "[2001:db8::1]" and "[2001:db8::1]:69". The port is 0
// when none is given; false when the brackets or the port are malformed.
bool host_port_split(const std::string& text, std::string* host, int* port);

// Dotted-decimal text of an IPv4 address in host byte order.
std::string ipv4_text(uint32_t address);
// inet_addr's reading of a text: four, three, two or one parts, decimal, octal or hexadecimal.
// False for anything else and for 255.255.255.255, which inet_addr cannot tell from a failure.
bool ipv4_parse(const std::string& text, uint32_t* address);

struct host_lookup {
    std::string official_name;
    std::vector<net_endpoint> addresses; // in the resolver's order, each once
};
// Resolves a host name (an address resolves to itself), to addresses of one family or of both
// (none); false when it cannot be resolved.
bool host_resolve(const std::string& host, host_lookup* result, net_family only = net_family::none);
