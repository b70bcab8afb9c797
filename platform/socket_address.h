// The system's socket addresses and ours, both ways: the same structures on both systems, once
// their headers are in. For the platform layer's own files only.
#pragma once

#include "address.h"

#include <cstring>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

struct socket_address {
    sockaddr_storage storage{};
    socklen_t length = 0;
    sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

inline socket_address to_sockaddr(const net_endpoint& endpoint) {
    socket_address sa;
    if (endpoint.family == net_family::v6) {
        auto* six = reinterpret_cast<sockaddr_in6*>(&sa.storage);
        six->sin6_family = AF_INET6;
        six->sin6_port = htons(endpoint.port);
        std::memcpy(&six->sin6_addr, endpoint.address.data(), 16);
        six->sin6_scope_id = endpoint.scope;
        sa.length = sizeof(sockaddr_in6);
    } else {
        auto* four = reinterpret_cast<sockaddr_in*>(&sa.storage);
        four->sin_family = AF_INET;
        four->sin_port = htons(endpoint.port);
        std::memcpy(&four->sin_addr, endpoint.address.data(), 4);
        sa.length = sizeof(sockaddr_in);
    }
    return sa;
}

inline net_endpoint from_sockaddr(const sockaddr_storage& storage) {
    net_endpoint e;
    if (storage.ss_family == AF_INET6) {
        const auto* six = reinterpret_cast<const sockaddr_in6*>(&storage);
        e.family = net_family::v6;
        std::memcpy(e.address.data(), &six->sin6_addr, 16);
        e.port = ntohs(six->sin6_port);
        e.scope = six->sin6_scope_id;
    } else if (storage.ss_family == AF_INET) {
        const auto* four = reinterpret_cast<const sockaddr_in*>(&storage);
        e.family = net_family::v4;
        std::memcpy(e.address.data(), &four->sin_addr, 4);
        e.port = ntohs(four->sin_port);
    }
    return e;
}
