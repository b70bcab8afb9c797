#include "platform/socket.h"

#include "platform/address.h"
#include "platform/socket_address.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

net_family family_of(int fd) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) < 0) return net_family::v4;
    return storage.ss_family == AF_INET6 ? net_family::v6 : net_family::v4;
}

thread_local int last_error = 0;

int fail() {
    last_error = errno;
    return -1;
}

} // namespace

void sockets_ready() {}

int service_port(const char* service) {
    servent entry{};
    servent* found = nullptr;
    char scratch[1024];
    if (getservbyname_r(service, "udp", &entry, scratch, sizeof scratch, &found) == 0 && found)
        return ntohs(static_cast<uint16_t>(found->s_port));
    return 0;
}

int sock_open_udp(net_family family) {
    int fd = socket(family == net_family::v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? fail() : fd;
}

int sock_bind(int fd, const net_endpoint& local) {
    socket_address sa = to_sockaddr(local);
    return bind(fd, sa.get(), sa.length) < 0 ? fail() : 0;
}

int sock_bind(int fd, uint16_t port) { return sock_bind(fd, any_address(family_of(fd), port)); }

int sock_v6_only(int fd) {
    int on = 1;
    return setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) < 0 ? fail() : 0;
}

int sock_free_bind(int fd) {
    int on = 1;
    return setsockopt(fd, IPPROTO_IP, IP_FREEBIND, &on, sizeof on) < 0 ? fail() : 0;
}

int sock_set_nonblocking(int fd, bool on) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return fail();
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) < 0 ? fail() : 0;
}

int sock_local_port(int fd) {
    sockaddr_storage storage{};
    socklen_t len = sizeof storage;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &len) < 0) return fail();
    return from_sockaddr(storage).port;
}

int sock_send_to(int fd, const void* data, size_t length, const net_endpoint& to) {
    socket_address sa = to_sockaddr(to);
    ssize_t sent = sendto(fd, data, length, 0, sa.get(), sa.length);
    return sent < 0 ? fail() : static_cast<int>(sent);
}

int sock_send_from(int fd, const void* data, size_t length, const net_endpoint& to,
                   const net_endpoint& from) {
    if (from.family != to.family || is_any_address(from)) return sock_send_to(fd, data, length, to);
    socket_address sa = to_sockaddr(to);
    iovec payload{const_cast<void*>(data), length};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr*>(sa.get());
    message.msg_namelen = sa.length;
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control;
    // The source address, as the kind of information its family's packets carry.
    const bool six = from.family == net_family::v6;
    in6_pktinfo six_info{};
    in_pktinfo four_info{};
    std::memcpy(six ? static_cast<void*>(&six_info.ipi6_addr) : &four_info.ipi_spec_dst,
                from.address.data(), six ? 16 : 4);
    six_info.ipi6_ifindex = from.scope;
    const size_t size = six ? sizeof six_info : sizeof four_info;
    cmsghdr* c = reinterpret_cast<cmsghdr*>(control);
    c->cmsg_level = six ? IPPROTO_IPV6 : IPPROTO_IP;
    c->cmsg_type = six ? IPV6_PKTINFO : IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(size);
    std::memcpy(CMSG_DATA(c), six ? static_cast<const void*>(&six_info) : &four_info, size);
    message.msg_controllen = CMSG_SPACE(size);
    ssize_t sent = sendmsg(fd, &message, 0);
    return sent < 0 ? fail() : static_cast<int>(sent);
}

int sock_recv_from(int fd, void* buffer, size_t capacity, net_endpoint* from) {
    sockaddr_storage storage{};
    socklen_t len = sizeof storage;
    ssize_t got =
        recvfrom(fd, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&storage), &len);
    if (got < 0) return fail();
    if (from) *from = from_sockaddr(storage);
    return static_cast<int>(got);
}

int sock_set_buffers(int fd, int bytes) {
    int granted[2] = {};
    for (auto [forced, usual] :
         {std::pair{SO_RCVBUFFORCE, SO_RCVBUF}, {SO_SNDBUFFORCE, SO_SNDBUF}}) {
        // A smaller buffer than the system's own would drop what a burst of duplicates brings.
        // It reports twice what was set, its bookkeeping included.
        int now = 0;
        socklen_t length = sizeof now;
        if (getsockopt(fd, SOL_SOCKET, usual, &now, &length) == 0 && now / 2 >= bytes) continue;
        if (setsockopt(fd, SOL_SOCKET, forced, &bytes, sizeof bytes) < 0)
            setsockopt(fd, SOL_SOCKET, usual, &bytes, sizeof bytes);
    }
    socklen_t length = sizeof granted[0];
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted[0], &length);
    getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &granted[1], &length);
    return std::min(granted[0], granted[1]);
}

int sock_want_arrival(int fd) {
    int on = 1;
    bool six = family_of(fd) == net_family::v6;
    int result = six ? setsockopt(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on)
                     : setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    return result < 0 ? fail() : 0;
}

int sock_recv_arrival(int fd, void* buffer, size_t capacity, net_endpoint* from, arrival* at) {
    sockaddr_storage storage{};
    iovec data{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo)) + CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &storage;
    message.msg_namelen = sizeof storage;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got = recvmsg(fd, &message, MSG_TRUNC);
    if (got < 0) return fail();
    *from = from_sockaddr(storage);
    *at = {};
    at->local.family = from->family;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            std::memcpy(at->local.address.data(), &info.ipi_addr, 4);
            at->interface_index = info.ipi_ifindex;
        } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            std::memcpy(at->local.address.data(), &info.ipi6_addr, 16);
            at->interface_index = static_cast<int>(info.ipi6_ifindex);
            // A link-local address is only whole with its interface.
            if (info.ipi6_addr.s6_addr[0] == 0xfe && (info.ipi6_addr.s6_addr[1] & 0xc0) == 0x80)
                at->local.scope = info.ipi6_ifindex;
        }
    }
    return static_cast<int>(got);
}

int sock_want_errors(int fd) {
    int on = 1;
    int result = family_of(fd) == net_family::v6
                     ? setsockopt(fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on)
                     : setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    return result < 0 ? fail() : 0;
}

bool sock_take_error(int fd, net_endpoint* about) {
    sockaddr_storage storage{};
    char data[1];
    iovec vector{data, sizeof data};
    alignas(cmsghdr) char control[512];
    msghdr message{};
    message.msg_name = &storage;
    message.msg_namelen = sizeof storage;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return false;
    *about = from_sockaddr(storage);
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
        if ((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR) ||
            (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR)) {
            sock_extended_err report{};
            std::memcpy(&report, CMSG_DATA(c), sizeof report);
            last_error = static_cast<int>(report.ee_errno);
        }
    return true;
}

bool sock_dropped_here() { return last_error == ENOBUFS; }

int interface_mtu(int interface_index) {
    char name[IF_NAMESIZE] = {};
    if (interface_index <= 0 || !if_indextoname(static_cast<unsigned>(interface_index), name))
        return 0;
    socket_owner probe(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    ifreq request{};
    std::memcpy(request.ifr_name, name, sizeof request.ifr_name);
    if (probe.get() < 0 || ioctl(probe.get(), SIOCGIFMTU, &request) < 0) return 0;
    return request.ifr_mtu;
}

void sock_close(int fd) { close(fd); }

int sock_last_error() { return last_error; }

bool sock_would_block() { return last_error == EAGAIN || last_error == EWOULDBLOCK; }

bool sock_last_error_is_privilege() { return last_error == EACCES || last_error == EPERM; }

bool sock_last_error_is_absent_address() {
    return last_error == EADDRNOTAVAIL || last_error == EAFNOSUPPORT;
}

bool sock_peer_fault() {
    switch (last_error) {
    case EINVAL: // port 0, or an address this socket cannot send to
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

bool sock_out_of_descriptors() { return last_error == EMFILE || last_error == ENFILE; }

void descriptor_limit_raise() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

int wait_readable(int fd, int wake, int milliseconds) {
    pollfd p[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    int n = poll(p, wake >= 0 ? 2 : 1, milliseconds);
    return n > 0 && (p[0].revents & (POLLIN | POLLERR)) ? 1 : 0;
}

bool wait_writable(int fd, int wake, int milliseconds) {
    pollfd p[2] = {{fd, POLLOUT, 0}, {wake, POLLIN, 0}};
    return poll(p, wake >= 0 ? 2 : 1, milliseconds) > 0 && (p[0].revents & POLLOUT);
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
