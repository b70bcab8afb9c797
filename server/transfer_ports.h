// The ports transfers are served from: any the system gives, or, for a firewall or NAT in front
// of the server, only those of a range.
#pragma once

#include "platform/address.h"

#include <string>

// Reads a range "LOW:HIGH" (1 to 65535, LOW at most HIGH); an empty text is no range (0, 0).
// False for anything else.
bool port_range_parse(const std::string& text, int* low, int* high);

struct server_settings;
// Why the settings' range of transfer ports cannot be used (nor with the single port), or "".
std::string port_range_refusal(const server_settings& settings);
// Whether the settings' range holds a port below 1024, which only root may bind.
bool port_range_privileged(const server_settings& settings);

// A socket for a transfer, bound to local (the address the request came to) and a port of the
// range: from a port picked at random, the next free one. -1 with no_free_port set when the
// range has none left; -1 alone when the system refused (the caller reports it).
int transfer_socket_open(const net_endpoint& local, bool* no_free_port);
