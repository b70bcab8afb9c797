// The system's neighbour table (ARP for IPv4, neighbour discovery for IPv6): the hardware
// address behind a client's IP address on the local link.
#pragma once

#include "address.h"

#include <string>

// The client's hardware address as network boot loaders name their files: the hardware type
// (01, Ethernet) and its bytes, "01-aa-bb-cc-dd-ee-ff"; empty when the table holds none for it.
std::string neighbour_hardware_name(const net_endpoint& client);
// That name for an Ethernet address's bytes, as both systems' tables give them.
std::string hardware_name(const unsigned char* bytes, size_t length);
