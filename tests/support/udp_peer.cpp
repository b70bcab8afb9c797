#include "udp_peer.h"

#include "platform/socket.h"

#include <stdexcept>
#include <vector>
#ifdef __linux__
#include <arpa/inet.h>
#include <sys/socket.h>
#endif

namespace {

// A socket of the platform layer, bound to where; its descriptor.
int bound_socket(const net_endpoint& where) {
    int fd = sock_open_udp(where.family);
    if (fd < 0 || sock_bind(fd, where) < 0)
        throw std::runtime_error("udp_peer: cannot bind " + endpoint_text(where));
    return fd;
}

net_endpoint endpoint_of(const std::string& address, uint16_t port) {
    net_endpoint where;
    if (!address_parse(address, &where))
        throw std::runtime_error("udp_peer: no address " + address);
    where.port = port;
    return where;
}

} // namespace

udp_peer::udp_peer(const std::string& address) : fd_(bound_socket(endpoint_of(address, 0))) {
    port_ = static_cast<uint16_t>(sock_local_port(fd_));
}

udp_peer::udp_peer(uint32_t address, uint16_t port)
    : fd_(bound_socket(ipv4_endpoint(address, port))) {
    port_ = static_cast<uint16_t>(sock_local_port(fd_));
}

udp_peer::~udp_peer() { sock_close(fd_); }

void udp_peer::send_to(const std::string& address, uint16_t port, const std::string& bytes) const {
    sock_send_to(fd_, bytes.data(), bytes.size(), endpoint_of(address, port));
}

void udp_peer::send_to(uint16_t port, const std::string& bytes, uint32_t address) const {
    sock_send_to(fd_, bytes.data(), bytes.size(), ipv4_endpoint(address, port));
}

// Linux sends many datagrams in one call, so that they leave in one instant; elsewhere they go
// one after the other, as fast as the system takes them.
void udp_peer::send_burst(uint16_t port, const std::string& bytes, int count) const {
#ifdef __linux__
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(0x7f000001);
    sa.sin_port = htons(port);
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
#else
    for (int i = 0; i < count; ++i)
        send_to(port, bytes);
#endif
}

void udp_peer::send_both(uint16_t first_port, const std::string& first, uint16_t second_port,
                         const std::string& second) const {
#ifdef __linux__
    sockaddr_in to[2] = {};
    for (int i = 0; i < 2; ++i) {
        to[i].sin_family = AF_INET;
        to[i].sin_addr.s_addr = htonl(0x7f000001);
        to[i].sin_port = htons(i == 0 ? first_port : second_port);
    }
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
#else
    send_to(first_port, first);
    send_to(second_port, second);
#endif
}

std::optional<datagram> udp_peer::receive(int milliseconds) const {
    if (!wait_readable(fd_, -1, milliseconds)) return std::nullopt;
    std::vector<char> buffer(65536);
    net_endpoint from;
    int n = sock_recv_from(fd_, buffer.data(), buffer.size(), &from);
    if (n < 0) return std::nullopt;
    datagram d{std::string(buffer.data(), static_cast<size_t>(n)), from.port, ipv4_of(from),
               address_text(from)};
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
