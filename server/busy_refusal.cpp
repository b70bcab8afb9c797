#include "busy_refusal.h"

#include "diag/trace.h"
#include "engine/packet.h"
#include "platform/files.h"
#include "transfer_board.h"
#include "transfer_ports.h"

namespace {
constexpr const char* busy_text = "The TFTP server is busy. Please try again soon.";
// A machine has few addresses; beyond so many the listening socket answers.
constexpr size_t sockets_held = 64;
} // namespace

int refusal_sockets::socket_for(int listening, const net_endpoint& local) {
    for (const auto& [where, socket] : held_)
        if (where == local) return socket->get();
    if (held_.size() >= sockets_held) return listening;
    bool no_free_port = false;
    int fd = transfer_socket_open(local, &no_free_port);
    // Without a port of its own (none left in the range, or none the system gives) the listening
    // port answers, which a firewall lets through as well.
    if (fd < 0) return listening;
    held_.emplace_back(local, std::make_unique<socket_owner>(fd));
    return fd;
}

bool refusal_sockets::release() {
    const bool held = !held_.empty();
    held_.clear();
    return held;
}

void refuse_from(int from, const net_endpoint& sender, int code, const char* text) {
    uint8_t reply[packet_buffer_size] = {};
    int length = build_error(reply, code, text);
    if (sock_send_to(from, reply, static_cast<size_t>(length), sender) != length) {
        // Nothing more to do for this one: the server goes on with the others.
        trace_line("TFTP_Refuserequests: Could not answer host %s, port# %d: %s.",
                   address_text(sender).c_str(), sender.port,
                   error_text(sock_last_error()).c_str());
        return;
    }
    trace_line("TFTP_Refuserequests: Refused request from host %s, port# %d.",
               address_text(sender).c_str(), sender.port);
}

void TFTP_Refuserequests(int from, const net_endpoint& sender) {
    board_busy();
    refuse_from(from, sender, 2, busy_text);
}
