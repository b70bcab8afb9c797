#include "platform/socket.h"

#include "platform/address.h"
#include "platform/socket_address.h"
#include "sockets.h"

#include <algorithm>
#include <cstdio>
#include <iphlpapi.h>
#include <mstcpip.h>
#include <mswsock.h>
#include <netioapi.h>

namespace {

thread_local int last_error = 0;

int fail() {
    last_error = WSAGetLastError();
    return -1;
}

SOCKET of(int fd) { return socket_of(fd); }

// From the protocol, not the local name: an unbound socket has none on Windows.
net_family family_of(int fd) {
    WSAPROTOCOL_INFOW info{};
    int length = sizeof info;
    getsockopt(of(fd), SOL_SOCKET, SO_PROTOCOL_INFOW, reinterpret_cast<char*>(&info), &length);
    return info.iAddressFamily == AF_INET6 ? net_family::v6 : net_family::v4;
}

// Whether the network's "port unreachable" for a datagram sent fails the socket's next receive.
int report_unreachable(int fd, bool on) {
    BOOL report = on ? TRUE : FALSE;
    DWORD returned = 0;
    return WSAIoctl(of(fd), SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned,
                    nullptr, nullptr) == 0
               ? 0
               : fail();
}

// A function of Winsock's extensions, asked for by its id once; none where Winsock lacks it.
template <typename Function> Function extension_function(SOCKET socket, GUID id) {
    Function function = nullptr;
    DWORD returned = 0;
    WSAIoctl(socket, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function,
             sizeof function, &returned, nullptr, nullptr);
    return function;
}

LPFN_WSARECVMSG receive_message(SOCKET socket) {
    static const auto function = extension_function<LPFN_WSARECVMSG>(socket, WSAID_WSARECVMSG);
    return function;
}

LPFN_WSASENDMSG send_message(SOCKET socket) {
    static const auto function = extension_function<LPFN_WSASENDMSG>(socket, WSAID_WSASENDMSG);
    return function;
}

} // namespace

int service_port(const char* service) {
    sockets_ready();
    servent* found = getservbyname(service, "udp");
    return found ? ntohs(static_cast<u_short>(found->s_port)) : 0;
}

int sock_open_udp(net_family family) {
    sockets_ready();
    SOCKET s = WSASocketW(family == net_family::v6 ? AF_INET6 : AF_INET, SOCK_DGRAM, IPPROTO_UDP,
                          nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) return fail();
    int fd = socket_number(s);
    // Only a transfer's socket hears of its peer's port closing (sock_want_errors): a listening
    // socket must not fail for an answer that could not be delivered.
    report_unreachable(fd, false);
    return fd;
}

int sock_bind(int fd, const net_endpoint& local) {
    socket_address sa = to_sockaddr(local);
    return bind(of(fd), sa.get(), sa.length) != 0 ? fail() : 0;
}

int sock_bind(int fd, uint16_t port) { return sock_bind(fd, any_address(family_of(fd), port)); }

int sock_v6_only(int fd) {
    DWORD on = 1;
    return setsockopt(of(fd), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on),
                      sizeof on) != 0
               ? fail()
               : 0;
}

int sock_free_bind(int) {
    last_error = WSAEOPNOTSUPP; // Windows binds only the addresses it has
    return -1;
}

int sock_set_nonblocking(int fd, bool on) {
    u_long mode = on ? 1 : 0;
    return ioctlsocket(of(fd), FIONBIO, &mode) != 0 ? fail() : 0;
}

int sock_local_port(int fd) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (getsockname(of(fd), reinterpret_cast<sockaddr*>(&storage), &length) != 0) return fail();
    return from_sockaddr(storage).port;
}

int sock_send_to(int fd, const void* data, size_t length, const net_endpoint& to) {
    socket_address sa = to_sockaddr(to);
    int sent = sendto(of(fd), static_cast<const char*>(data), static_cast<int>(length), 0, sa.get(),
                      sa.length);
    return sent < 0 ? fail() : sent;
}

int sock_send_from(int fd, const void* data, size_t length, const net_endpoint& to,
                   const net_endpoint& from) {
    SOCKET s = of(fd);
    LPFN_WSASENDMSG send = from.family == to.family && !is_any_address(from) ? send_message(s)
                                                                             : nullptr;
    if (!send) return sock_send_to(fd, data, length, to);
    socket_address sa = to_sockaddr(to);
    WSABUF payload{static_cast<ULONG>(length), static_cast<CHAR*>(const_cast<void*>(data))};
    char control[WSA_CMSG_SPACE(sizeof(IN6_PKTINFO))] = {};
    WSAMSG message{};
    message.name = const_cast<sockaddr*>(sa.get());
    message.namelen = sa.length;
    message.lpBuffers = &payload;
    message.dwBufferCount = 1;
    // The source address, as the kind of information its family's packets carry.
    const bool six = from.family == net_family::v6;
    IN6_PKTINFO six_info{};
    IN_PKTINFO four_info{};
    std::memcpy(six ? static_cast<void*>(&six_info.ipi6_addr) : &four_info.ipi_addr,
                from.address.data(), six ? 16 : 4);
    six_info.ipi6_ifindex = from.scope;
    const size_t size = six ? sizeof six_info : sizeof four_info;
    WSACMSGHDR* c = reinterpret_cast<WSACMSGHDR*>(control);
    c->cmsg_level = six ? IPPROTO_IPV6 : IPPROTO_IP;
    c->cmsg_type = six ? IPV6_PKTINFO : IP_PKTINFO;
    c->cmsg_len = WSA_CMSG_LEN(size);
    std::memcpy(WSA_CMSG_DATA(c), six ? static_cast<const void*>(&six_info) : &four_info, size);
    message.Control = {static_cast<ULONG>(WSA_CMSG_SPACE(size)), control};
    DWORD sent = 0;
    if (send(s, &message, 0, &sent, nullptr, nullptr) != 0) return fail();
    return static_cast<int>(sent);
}

int sock_recv_from(int fd, void* buffer, size_t capacity, net_endpoint* from) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    int got = recvfrom(of(fd), static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                       reinterpret_cast<sockaddr*>(&storage), &length);
    // A datagram longer than the buffer: said as a length beyond it, as the caller expects.
    if (got < 0 && WSAGetLastError() == WSAEMSGSIZE) got = static_cast<int>(capacity) + 1;
    if (got < 0) return fail();
    if (from) *from = from_sockaddr(storage);
    return got;
}

int sock_set_buffers(int fd, int bytes) {
    int granted[2] = {};
    const int options[2] = {SO_RCVBUF, SO_SNDBUF};
    for (int i = 0; i < 2; ++i) {
        int now = 0, length = sizeof now;
        getsockopt(of(fd), SOL_SOCKET, options[i], reinterpret_cast<char*>(&now), &length);
        if (now < bytes)
            setsockopt(of(fd), SOL_SOCKET, options[i], reinterpret_cast<const char*>(&bytes),
                       sizeof bytes);
        length = sizeof granted[i];
        getsockopt(of(fd), SOL_SOCKET, options[i], reinterpret_cast<char*>(&granted[i]), &length);
    }
    return std::min(granted[0], granted[1]);
}

int sock_want_arrival(int fd) {
    DWORD on = 1;
    bool six = family_of(fd) == net_family::v6;
    int result = six ? setsockopt(of(fd), IPPROTO_IPV6, IPV6_PKTINFO,
                                  reinterpret_cast<const char*>(&on), sizeof on)
                     : setsockopt(of(fd), IPPROTO_IP, IP_PKTINFO,
                                  reinterpret_cast<const char*>(&on), sizeof on);
    return result != 0 ? fail() : 0;
}

int sock_recv_arrival(int fd, void* buffer, size_t capacity, net_endpoint* from, arrival* at) {
    SOCKET s = of(fd);
    LPFN_WSARECVMSG receive = receive_message(s);
    if (!receive) {
        at->local.family = net_family::none;
        return sock_recv_from(fd, buffer, capacity, from);
    }
    sockaddr_storage storage{};
    char control[WSA_CMSG_SPACE(sizeof(IN6_PKTINFO)) + WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSABUF data{static_cast<ULONG>(capacity), static_cast<CHAR*>(buffer)};
    WSAMSG message{};
    message.name = reinterpret_cast<sockaddr*>(&storage);
    message.namelen = sizeof storage;
    message.lpBuffers = &data;
    message.dwBufferCount = 1;
    message.Control = {sizeof control, control};
    DWORD got = 0;
    if (receive(s, &message, &got, nullptr, nullptr) != 0) {
        if (WSAGetLastError() != WSAEMSGSIZE) return fail();
        got = static_cast<DWORD>(capacity) + 1;
    }
    *from = from_sockaddr(storage);
    *at = {};
    at->local.family = from->family;
    for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message); c; c = WSA_CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            IN_PKTINFO info{};
            std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
            std::memcpy(at->local.address.data(), &info.ipi_addr, 4);
            at->interface_index = static_cast<int>(info.ipi_ifindex);
        } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
            IN6_PKTINFO info{};
            std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
            std::memcpy(at->local.address.data(), &info.ipi6_addr, 16);
            at->interface_index = static_cast<int>(info.ipi6_ifindex);
            if (info.ipi6_addr.s6_addr[0] == 0xfe && (info.ipi6_addr.s6_addr[1] & 0xc0) == 0x80)
                at->local.scope = info.ipi6_ifindex;
        }
    }
    return static_cast<int>(got);
}

int interface_mtu(int interface_index) {
    if (interface_index <= 0) return 0;
    MIB_IF_ROW2 row{};
    row.InterfaceIndex = static_cast<NET_IFINDEX>(interface_index);
    return GetIfEntry2(&row) == NO_ERROR ? static_cast<int>(row.Mtu) : 0;
}

int sock_want_errors(int fd) { return report_unreachable(fd, true); }

// Windows keeps no queue of such reports: the next receive fails with WSAECONNRESET instead.
bool sock_take_error(int, net_endpoint*) { return false; }

bool sock_dropped_here() { return last_error == WSAENOBUFS; }

void sock_close(int fd) { socket_close(fd); }

int sock_last_error() { return last_error; }

bool sock_would_block() { return last_error == WSAEWOULDBLOCK; }

bool sock_last_error_is_privilege() { return last_error == WSAEACCES; }

bool sock_last_error_is_absent_address() {
    return last_error == WSAEADDRNOTAVAIL || last_error == WSAEAFNOSUPPORT;
}

bool sock_peer_fault() {
    switch (last_error) {
    case WSAECONNRESET: // an earlier datagram was answered by ICMP "port unreachable"
    case WSAECONNREFUSED:
    case WSAENETRESET:
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN:
    case WSAEADDRNOTAVAIL:
    case WSAEACCES:
    case WSAEINVAL:
    case WSAENOBUFS:
        return true;
    default:
        return sock_would_block();
    }
}

bool sock_out_of_descriptors() { return last_error == WSAEMFILE || last_error == WSAENOBUFS; }

void descriptor_limit_raise() { _setmaxstdio(8192); }

int wait_readable(int fd, int wake, int milliseconds) {
    WSAPOLLFD p[2] = {{of(fd), POLLRDNORM, 0}, {of(wake), POLLRDNORM, 0}};
    int n = WSAPoll(p, wake >= 0 ? 2 : 1, milliseconds);
    return n > 0 && (p[0].revents & (POLLRDNORM | POLLERR)) ? 1 : 0;
}

bool wait_writable(int fd, int wake, int milliseconds) {
    WSAPOLLFD p[2] = {{of(fd), POLLWRNORM, 0}, {of(wake), POLLRDNORM, 0}};
    return WSAPoll(p, wake >= 0 ? 2 : 1, milliseconds) > 0 && (p[0].revents & POLLWRNORM);
}

// An event is a loopback socket that sends itself a byte: a wait on sockets sees it like any.
int event_create() {
    int fd = sock_open_udp(net_family::v4);
    if (fd < 0) return -1;
    if (sock_bind(fd, ipv4_endpoint(0x7f000001, 0)) < 0 || sock_set_nonblocking(fd, true) < 0) {
        sock_close(fd);
        return -1;
    }
    return fd;
}

void event_set(int event) {
    char one = 1;
    sock_send_to(event, &one, 1,
                 ipv4_endpoint(0x7f000001, static_cast<uint16_t>(sock_local_port(event))));
}

void event_clear(int event) {
    char byte[16];
    while (recv(of(event), byte, sizeof byte, 0) > 0) {
    }
}

void event_close(int event) {
    if (event >= 0) sock_close(event);
}
