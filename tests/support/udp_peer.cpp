#include "udp_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
sockaddr_in endpoint(uint32_t address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

// An address of either family from its text, with a port.
sockaddr_storage endpoint(const std::string& address, uint16_t port, socklen_t* length) {
    sockaddr_storage storage{};
    auto* six = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET6, address.c_str(), &six->sin6_addr) == 1) {
        six->sin6_family = AF_INET6;
        six->sin6_port = htons(port);
        *length = sizeof(sockaddr_in6);
        return storage;
    }
    auto* four = reinterpret_cast<sockaddr_in*>(&storage);
    four->sin_family = AF_INET;
    four->sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &four->sin_addr) != 1)
        throw std::runtime_error("udp_peer: no address " + address);
    *length = sizeof(sockaddr_in);
    return storage;
}
} // namespace

udp_peer::udp_peer(const std::string& address) : fd_(-1) {
    socklen_t length = 0;
    sockaddr_storage sa = endpoint(address, 0, &length);
    fd_ = socket(sa.ss_family, SOCK_DGRAM, 0);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&sa), length) < 0)
        throw std::runtime_error("udp_peer: cannot bind " + address);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &length);
    port_ = ntohs(reinterpret_cast<sockaddr_in*>(&sa)->sin_port); // the same place in both
}

void udp_peer::send_to(const std::string& address, uint16_t port, const std::string& bytes) const {
    socklen_t length = 0;
    sockaddr_storage sa = endpoint(address, port, &length);
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), length);
}

udp_peer::udp_peer(uint32_t address, uint16_t port) : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in sa = endpoint(address, port);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0)
        throw std::runtime_error("udp_peer: cannot bind");
    socklen_t len = sizeof sa;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
}

udp_peer::~udp_peer() { close(fd_); }

void udp_peer::send_to(uint16_t port, const std::string& bytes, uint32_t address) const {
    sockaddr_in sa = endpoint(address, port);
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
}

void udp_peer::send_burst(uint16_t port, const std::string& bytes, int count) const {
    sockaddr_in sa = endpoint(0x7f000001, port);
    iovec data{const_cast<char*>(bytes.data()), bytes.size()};
    std::vector<mmsghdr> messages(static_cast<size_t>(count));
    for (mmsghdr& m : messages) {
        m.msg_hdr = {};
        m.msg_hdr.msg_name = &sa;
        m.msg_hdr.msg_namelen = sizeof sa;
        m.msg_hdr.msg_iov = &data;
        m.msg_hdr.msg_iovlen = 1;
    }
    sendmmsg(fd_, messages.data(), static_cast<unsigned>(count), 0);
}

void udp_peer::send_both(uint16_t first_port, const std::string& first, uint16_t second_port,
                         const std::string& second) const {
    sockaddr_in to[2] = {endpoint(0x7f000001, first_port), endpoint(0x7f000001, second_port)};
    iovec data[2] = {{const_cast<char*>(first.data()), first.size()},
                     {const_cast<char*>(second.data()), second.size()}};
    mmsghdr messages[2] = {};
    for (int i = 0; i < 2; ++i) {
        messages[i].msg_hdr.msg_name = &to[i];
        messages[i].msg_hdr.msg_namelen = sizeof to[i];
        messages[i].msg_hdr.msg_iov = &data[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    sendmmsg(fd_, messages, 2, 0);
}

std::optional<datagram> udp_peer::receive(int milliseconds) const {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, milliseconds) <= 0) return std::nullopt;
    char buffer[65536];
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sa), &len);
    if (n < 0) return std::nullopt;
    datagram d{std::string(buffer, static_cast<size_t>(n)), 0, 0, ""};
    char text[INET6_ADDRSTRLEN] = {};
    if (sa.ss_family == AF_INET6) {
        auto* six = reinterpret_cast<sockaddr_in6*>(&sa);
        d.from_port = ntohs(six->sin6_port);
        d.from_text = inet_ntop(AF_INET6, &six->sin6_addr, text, sizeof text);
    } else {
        auto* four = reinterpret_cast<sockaddr_in*>(&sa);
        d.from_port = ntohs(four->sin_port);
        d.from_address = ntohl(four->sin_addr.s_addr);
        d.from_text = inet_ntop(AF_INET, &four->sin_addr, text, sizeof text);
    }
    return d;
}

uint16_t free_udp_port() {
    udp_peer probe;
    return probe.port();
}

std::string tftp_packet(int opcode, int number, const std::string& rest) {
    std::string p;
    p += static_cast<char>(opcode >> 8);
    p += static_cast<char>(opcode);
    p += static_cast<char>(number >> 8);
    p += static_cast<char>(number);
    return p + rest;
}

std::string tftp_request(int opcode, const std::string& name, const std::string& mode) {
    std::string p;
    p += static_cast<char>(opcode >> 8);
    p += static_cast<char>(opcode);
    return p + name + '\0' + mode + '\0';
}
