#include "socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

sockaddr_in to_sockaddr(const ipv4_endpoint& endpoint) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(endpoint.port);
    sa.sin_addr.s_addr = htonl(endpoint.address);
    return sa;
}

thread_local int last_error = 0;

int fail() {
    last_error = errno;
    return -1;
}

} // namespace

int service_port(const char* service) {
    servent entry{};
    servent* found = nullptr;
    char scratch[1024];
    if (getservbyname_r(service, "udp", &entry, scratch, sizeof scratch, &found) == 0 && found)
        return ntohs(static_cast<uint16_t>(found->s_port));
    return 0;
}

int sock_open_udp() {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? fail() : fd;
}

int sock_bind(int fd, uint16_t port) {
    sockaddr_in sa = to_sockaddr({INADDR_ANY, port});
    return bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 ? fail() : 0;
}

int sock_set_nonblocking(int fd, bool on) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return fail();
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) < 0 ? fail() : 0;
}

int sock_local_port(int fd) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) < 0) return fail();
    return ntohs(sa.sin_port);
}

int sock_send_to(int fd, const void* data, size_t length, const ipv4_endpoint& to) {
    sockaddr_in sa = to_sockaddr(to);
    ssize_t sent = sendto(fd, data, length, 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return sent < 0 ? fail() : static_cast<int>(sent);
}

int sock_recv_from(int fd, void* buffer, size_t capacity, ipv4_endpoint* from) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t got = recvfrom(fd, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&sa), &len);
    if (got < 0) return fail();
    if (from) *from = {ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
    return static_cast<int>(got);
}

int sock_set_buffers(int fd, int bytes) {
    for (auto [forced, usual] : {std::pair{SO_RCVBUFFORCE, SO_RCVBUF}, {SO_SNDBUFFORCE, SO_SNDBUF}})
        if (setsockopt(fd, SOL_SOCKET, forced, &bytes, sizeof bytes) < 0)
            setsockopt(fd, SOL_SOCKET, usual, &bytes, sizeof bytes);
    int granted = 0;
    socklen_t length = sizeof granted;
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length);
    return granted;
}

int sock_want_arrival(int fd) {
    int on = 1;
    return setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) < 0 ? fail() : 0;
}

int sock_recv_arrival(int fd, void* buffer, size_t capacity, ipv4_endpoint* from, int* interface) {
    sockaddr_in sa{};
    iovec data{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &sa;
    message.msg_namelen = sizeof sa;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got = recvmsg(fd, &message, MSG_TRUNC);
    if (got < 0) return fail();
    *from = {ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
    *interface = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            *interface = info.ipi_ifindex;
        }
    return static_cast<int>(got);
}

int interface_mtu(int interface) {
    char name[IF_NAMESIZE] = {};
    if (interface <= 0 || !if_indextoname(static_cast<unsigned>(interface), name)) return 0;
    socket_owner probe(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    ifreq request{};
    std::memcpy(request.ifr_name, name, sizeof request.ifr_name);
    if (probe.get() < 0 || ioctl(probe.get(), SIOCGIFMTU, &request) < 0) return 0;
    return request.ifr_mtu;
}

void sock_close(int fd) { close(fd); }

int sock_duplicate(int fd) {
    int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return copy < 0 ? fail() : copy;
}

int sock_last_error() { return last_error; }

bool sock_would_block() { return last_error == EAGAIN || last_error == EWOULDBLOCK; }

bool sock_peer_fault() {
    switch (last_error) {
    case EINVAL:       // port 0, or an address this socket cannot send to
    case EADDRNOTAVAIL:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
    case ECONNREFUSED: // an earlier datagram was answered by ICMP "port unreachable"
    case EPERM:        // a firewall rule
    case EACCES:       // a broadcast address, or a "prohibit" route
    case EAGAIN:       // a send queue that is full
    case ENOBUFS:
        return true;
    default:
        return sock_would_block();
    }
}

int wait_readable(int fd, int wake, int milliseconds) {
    pollfd p[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    int n = poll(p, wake >= 0 ? 2 : 1, milliseconds);
    return n > 0 && (p[0].revents & POLLIN) ? 1 : 0;
}

int event_create() { return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

void event_set(int event) {
    uint64_t one = 1;
    ssize_t written = write(event, &one, sizeof one);
    (void)written; // a counter already at its limit stays set all the same
}

void event_clear(int event) {
    uint64_t count;
    while (read(event, &count, sizeof count) > 0) {
    }
}

void event_close(int event) {
    if (event >= 0) close(event);
}

std::string ipv4_text(uint32_t address) {
    in_addr in{htonl(address)};
    char text[INET_ADDRSTRLEN];
    return inet_ntop(AF_INET, &in, text, sizeof text) ? text : "";
}

bool ipv4_parse(const std::string& text, uint32_t* address) {
    // inet_aton stops at the first blank and takes what came before it: the whole text counts.
    if (text.find_first_not_of("0123456789abcdefABCDEFxX.") != std::string::npos) return false;
    in_addr in{};
    if (inet_aton(text.c_str(), &in) == 0 || in.s_addr == INADDR_NONE) return false;
    *address = ntohl(in.s_addr);
    return true;
}

bool host_resolve(const std::string& host, host_lookup* result) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return false;
    result->official_name = list->ai_canonname ? list->ai_canonname : host;
    result->addresses.clear();
    for (addrinfo* a = list; a; a = a->ai_next) {
        uint32_t address = ntohl(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
        bool seen = false;
        for (uint32_t known : result->addresses)
            seen = seen || known == address;
        if (!seen) result->addresses.push_back(address);
    }
    freeaddrinfo(list);
    return !result->addresses.empty();
}
