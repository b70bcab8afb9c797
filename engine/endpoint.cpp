#include "endpoint.h"

#include "diag/report.h"
#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/trace.h"
#include "options.h"
#include "packet.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "transfer.h"

#include <algorithm>
#include <mutex>
#include <vector>

std::atomic<int> packet_timeout{120};

namespace {

// Strays read in one turn at most: a socket flooded with them never keeps the one who runs the
// transfer (the server's daemon runs them all) from its other work.
constexpr int strays_per_turn = 16;
// A stray is told "Unknown transfer ID." at most once a second: two ports that each answer the
// other's answer would otherwise talk for ever.
constexpr uint64_t stray_answer_interval_ms = 1000;
// The strays answered within that second; a flood from many ports gets few answers in all.
constexpr size_t strays_remembered = 64;

struct stray_answers {
    std::mutex mutex;
    std::vector<std::pair<net_endpoint, uint64_t>> recent; // who, and when
};

// Whether a stray may be told, now that it is; false when it was told within the second, or when
// as many others were.
bool stray_may_be_told(const net_endpoint& from) {
    static stray_answers* const answers = new stray_answers;
    std::lock_guard<std::mutex> lock(answers->mutex);
    const uint64_t now = clock_ms();
    auto& recent = answers->recent;
    recent.erase(std::remove_if(recent.begin(), recent.end(),
                                [now](const auto& told) {
                                    return now - told.second >= stray_answer_interval_ms;
                                }),
                 recent.end());
    for (const auto& told : recent)
        if (told.first == from) return false;
    if (recent.size() >= strays_remembered) return false;
    recent.emplace_back(from, now);
    return true;
}

// Decides whether a datagram belongs to the transfer. The client's first answer must come from
// the address its request went to; its port, whichever it is, is the server's from then on (a
// server behind NAT or a firewall may answer from the port it listens on, as tftp-hpa, curl and
// atftp accept). Anything else is answered with ERROR 5 (never an ERROR itself, and at most once
// a second) and otherwise dropped, so that no third host can end or feed the transfer.
bool from_peer(transfer& t, const net_endpoint& from, const uint8_t* datagram, int length) {
    if (role().learns_peer_port && t.first_receive && same_address(from, t.peer)) {
        t.peer = from;
        t.first_receive = false;
        return true;
    }
    if (from == t.peer) return true;
    trace_line("net_recv: Received from %s, port %d, expected from port %d.",
               address_text(from).c_str(), from.port, t.peer.port);
    const bool error = length >= 2 && get16(datagram) == OP_ERROR;
    if (error || !stray_may_be_told(from)) return false;
    uint8_t packet[64];
    int size = build_error(packet, 5, "Unknown transfer ID.");
    sock_send_to(t.socket, packet, static_cast<size_t>(size), from);
    return false;
}

// The next datagram the daemon read for a transfer on a shared socket, cut to room bytes, and
// its sender; its whole length (the caller judges one longer than a packet), or -1 when none
// waits.
int inbox_take(transfer& t, uint8_t* into, size_t room, net_endpoint* from) {
    if (t.inbox.empty()) return -1;
    const std::string datagram = std::move(t.inbox.front());
    t.inbox.pop_front();
    std::copy_n(datagram.begin(), std::min(datagram.size(), room), into);
    *from = t.peer;
    return static_cast<int>(datagram.size());
}

} // namespace

bool net_send(transfer& t, const uint8_t* buffer, int length) {
    const role_profile& r = role();
    const char* failure = r.texts.send_failed;
    if (r.traces_before_send && trace_enabled)
        trace_line("net_send: sent %d bytes to host %s, port# %d.", length,
                   address_text(t.peer).c_str(), t.peer.port);
    // On the listening socket, from the address the request came to.
    while ((t.socket_shared
                ? sock_send_from(t.socket, buffer, static_cast<size_t>(length), t.peer, t.local)
                : sock_send_to(t.socket, buffer, static_cast<size_t>(length), t.peer)) != length) {
        if (sock_dropped_here()) {
            trace_line("net_send: This machine's queue is full; the datagram is dropped.");
            return false;
        }
        if (!sock_would_block()) {
            // The peer's address or network refused it: that ends this transfer only.
            if (sock_peer_fault()) report_peer_unreachable(failure);
            report_transfer_fault(failure);
        }
        // A full send queue drains as the link takes what it holds. A datagram that finds no
        // room within a packet timeout is lost, as the network itself might lose it; a stop
        // meanwhile is seen at once.
        if (!wait_writable(t.socket, stop_event(), t.timeout_seconds * 1000)) {
            trace_line("net_send: The send queue stayed full; the datagram is dropped.");
            return false;
        }
    }
    t.sent_us = clock_us();
    if (!r.traces_before_send && trace_enabled)
        trace_line("net_send: sent %d bytes to host %s, port# %d.", length,
                   address_text(t.peer).c_str(), t.peer.port);
    return true;
}

void net_wait_begin(transfer& t, int milliseconds) {
    t.wait_start = clock_ms();
    t.wait_ms = milliseconds;
}

int net_wait_left(const transfer& t) {
    const auto limit = static_cast<uint64_t>(t.wait_ms);
    uint64_t elapsed = clock_ms() - t.wait_start;
    // A wait lasts until more than its limit has passed, as the tick count is read.
    return elapsed > limit ? 0 : static_cast<int>(limit - elapsed + 1);
}

int net_take(transfer& t) {
    // A receiver's buffer grows to a whole block only once a block comes: until then the datagram
    // is read here, so that a request that is never answered holds a few kilobytes.
    const size_t room = std::max(t.recv_buf.size(), static_cast<size_t>(t.block_size) + 4);
    const int capacity = static_cast<int>(room);
    uint8_t scratch[blksize_max + 4];
    uint8_t* into = t.recv_buf.size() >= room ? t.recv_buf.data() : scratch;
    for (int strays = 0; strays < strays_per_turn; ++strays) {
        net_endpoint from;
        int length = t.socket_shared ? inbox_take(t, into, room, &from)
                                     : sock_recv_from(t.socket, into, room, &from);
        if (length < 0) {
            if (t.socket_shared) return -1;
            const char* failure =
                "net_recv: A recvfrom error occurred while attempting to receive.";
            if (sock_would_block()) return -1;
            // The network's report on a datagram sent: only one about the peer ends the transfer
            // (an ERROR 5 to a stray that has gone is no news).
            net_endpoint about;
            if (sock_take_error(t.socket, &about)) {
                if (about == t.peer) report_peer_unreachable(failure);
                trace_line("net_recv: %s, port# %d: %s.", address_text(about).c_str(), about.port,
                           error_text(sock_last_error()).c_str());
                continue;
            }
            if (sock_peer_fault()) report_peer_unreachable(failure);
            report_transfer_fault(failure);
        }
        if (trace_enabled)
            trace_line("net_recv: got %d bytes from host %s, port# %d.", length,
                       address_text(from).c_str(), from.port);
        if (!from_peer(t, from, into, std::min(length, capacity))) {
            // A stream of strays must not keep the wait from running out.
            if (net_wait_left(t) == 0) return -1;
            continue;
        }
        // Longer than any packet: the peer's doing, not the machine's.
        if (length > capacity)
            protocol_violation(t,
                               "net_recv: A recvfrom error occurred while attempting to receive.");
        if (into == scratch) {
            if (static_cast<size_t>(length) > t.recv_buf.size()) t.recv_buf.resize(room);
            std::copy(scratch, scratch + length, t.recv_buf.begin());
        }
        return length;
    }
    return -1;
}

int net_recv(transfer& t) {
    const bool drops_at_stop = role().drops_at_stop;
    // Inside a window the next block is usually there already: reading first saves the wait.
    if (t.unacked > 0 && !(drops_at_stop && stop_flag)) {
        int length = net_take(t);
        if (length >= 0) return length;
    }
    for (;;) {
        // In lock step the answer is never there yet: waiting first saves a read that fails.
        int left = net_wait_left(t);
        if (t.send_held) {
            const int pace = path_wait_ms(*t.budget, clock_us());
            if (pace == 0) return NET_SEND_DUE;
            left = std::min(left, pace);
        }
        bool readable = wait_readable(t.socket, stop_event(), left);
        if (drops_at_stop && stop_flag) return NET_STOPPED;
        if (readable) {
            int length = net_take(t);
            if (length >= 0) return length;
        }
        if (net_wait_left(t) == 0) return NET_TIMED_OUT;
        if (stop_flag) return NET_STOPPED;
    }
}

void net_close(transfer& t) {
    trace_line(role().texts.net_close, t.peer_host.c_str(), t.socket);
    if (t.socket >= 0 && !t.socket_shared) sock_close(t.socket);
    t.socket = -1;
}

int net_hold_window(transfer& t, int block, int window) {
    // What a datagram of a block takes in a buffer: its headers and the system's bookkeeping.
    // The listening socket's buffers are the daemon's, already large for a crowd's bursts.
    if (t.socket_shared) return window;
    const int64_t per_block = static_cast<int64_t>(block) + 1024;
    int64_t wanted = per_block * window;
    int granted = sock_set_buffers(t.socket, static_cast<int>(std::min<int64_t>(wanted, 1 << 30)));
    return static_cast<int>(std::clamp<int64_t>(granted / per_block, 1, window));
}

void net_unblock(transfer& t) {
    if (t.socket_shared) return; // the daemon's, which never blocks
    // A peer that has gone shows at once, not after the timeouts.
    sock_want_errors(t.socket);
    if (sock_set_nonblocking(t.socket, true) < 0)
        report_transfer_fault("Failed to unblock the socket. WSA error %d", sock_last_error());
}

void net_block(transfer& t) {
    if (t.socket_shared) return;
    if (sock_set_nonblocking(t.socket, false) < 0)
        report_transfer_fault("Failed to block the socket. WSA error %d", sock_last_error());
}

std::string winsock_line() {
    return "Windows sockets returned v1.1: POSIX sockets (IPv4 and IPv6 UDP, non-blocking).";
}
