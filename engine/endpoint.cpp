#include "endpoint.h"

#include "diag/report.h"
#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/trace.h"
#include "platform/clock.h"

int transfer_socket = -1;
ipv4_endpoint peer_addr;
std::string peer_host;
bool first_receive = false;
int pending_len = -1;
bool recv_timed_out = false;
std::atomic<int> packet_timeout{120};

namespace {

// Decides whether a datagram belongs to the transfer. Anything from another address or port is
// traced and dropped, so that no third host can end or feed the transfer.
bool from_peer(const ipv4_endpoint& from) {
    if (!role().server && first_receive) {
        if (from.port == peer_addr.port)
            report_fatal("net_recv: First receive from port %d.\nThe server's port should have "
                         "changed.",
                         from.port);
        peer_addr = from;
        first_receive = false;
        return true;
    }
    if (from == peer_addr) return true;
    trace_line("net_recv: Received from port %d, expected from port %d.", from.port,
               peer_addr.port);
    return false;
}

} // namespace

void net_send(const uint8_t* buffer, int length) {
    if (role().server) {
        if (trace_enabled)
            trace_line("net_send: sent %d bytes to host %s, port# %d.", length,
                       ipv4_text(peer_addr.address).c_str(), peer_addr.port);
        if (sock_send_to(transfer_socket, buffer, length, peer_addr) != length)
            report_fatal("net_send: An error occurred with sendto() on the socket.");
        return;
    }
    if (sock_send_to(transfer_socket, buffer, length, peer_addr) < 0)
        report_fatal("net_send: A send error occurred while attempting to transmit.");
    if (trace_enabled)
        trace_line("net_send: sent %d bytes to host %s, port# %d.", length,
                   ipv4_text(peer_addr.address).c_str(), peer_addr.port);
}

int net_recv(uint8_t* buffer, int capacity) {
    const bool server = role().server;
    if (server && pending_len >= 0) {
        int length = pending_len;
        pending_len = -1;
        return length;
    }
    const uint32_t start = clock_ms();
    const uint32_t limit = static_cast<uint32_t>(packet_timeout.load()) * 1000u;
    for (;;) {
        // In lock step the answer is never there yet: waiting first saves a read that fails.
        uint32_t elapsed = clock_ms() - start;
        bool readable = wait_readable(transfer_socket, stop_event(),
                                      elapsed > limit ? 0 : static_cast<int>(limit - elapsed + 1));
        if (server && stop_flag) return 0;
        if (!readable) {
            if (clock_ms() - start > limit) {
                recv_timed_out = true;
                return -1;
            }
            if (!server && stop_flag) return -1;
            continue;
        }
        ipv4_endpoint from;
        int length = sock_recv_from(transfer_socket, buffer, capacity, &from);
        if (length < 0) {
            if (sock_would_block()) continue;
            report_fatal("net_recv: A recvfrom error occurred while attempting to receive.");
        }
        if (trace_enabled)
            trace_line("net_recv: got %d bytes from host %s, port# %d.", length,
                       ipv4_text(from.address).c_str(), from.port);
        if (!from_peer(from)) {
            // A stream of strays must not keep the wait from running out.
            if (clock_ms() - start > limit) {
                recv_timed_out = true;
                return -1;
            }
            continue;
        }
        // Longer than any packet: the peer's doing, not the machine's.
        if (length > capacity)
            report_peer_fault("net_recv: A recvfrom error occurred while attempting to receive.");
        return length;
    }
}

void net_close() {
    trace_line(role().texts.net_close, peer_host.c_str(), transfer_socket);
    if (transfer_socket >= 0) sock_close(transfer_socket);
    transfer_socket = -1;
}

void net_unblock() {
    if (sock_set_nonblocking(transfer_socket, true) < 0)
        report_fatal("Failed to unblock the socket. WSA error %d", sock_last_error());
}

void net_block() {
    if (sock_set_nonblocking(transfer_socket, false) < 0)
        report_fatal("Failed to block the socket. WSA error %d", sock_last_error());
}

std::string winsock_line() {
    return "Windows sockets returned v1.1: POSIX sockets (IPv4 UDP, non-blocking).";
}
