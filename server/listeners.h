// Where the server listens: by default the any-address of each IP family (IPv4 and IPv6 on
// sockets of their own, so that a host without IPv6 still serves), or only one family, or only
// the addresses named, each on the service's port or a port of its own.
#pragma once

#include "platform/address.h"
#include "platform/socket.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

// One listening socket and where it listens.
struct listener {
    socket_owner socket;
    net_endpoint where;
};

// A port that replaces the stored one for this run (the screenshots' and the tests' own); 0 keeps
// the stored one.
extern std::atomic<int> listen_port_override;
// The port to listen on for the service: the override, the stored port, or, while that is the
// factory one, the service's port. An unknown service is reported, and 69 serves.
int net_listen_port(const char* service);

// Reads a list of listening addresses, separated by commas or blanks, each an address, an
// "address:port" or an "[IPv6 address]:port"; a port left out is port. False, with the entry
// in bad, for any entry that is none of these.
bool listen_addresses_parse(const std::string& text, uint16_t port,
                            std::vector<net_endpoint>* addresses, std::string* bad);

// Whether a list of listening addresses can be read.
bool listen_addresses_usable(const std::string& text);
struct server_settings;
// Why the settings' addresses cannot be listened on, or "".
std::string listen_refusal(const server_settings& settings);
// Whether two values of the settings listen in different places (which a reload cannot change).
bool listening_differs(const server_settings& a, const server_settings& b);

// Opens and binds the listening sockets for the service (a fatal report when none can be), says
// on the status line where the server listens, and sets each up to tell where a request arrived.
std::vector<std::unique_ptr<listener>> net_init(const char* service);
