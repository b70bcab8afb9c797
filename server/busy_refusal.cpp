#include "busy_refusal.h"

#include "diag/trace.h"
#include "engine/packet.h"
#include "platform/files.h"
#include "transfer_board.h"
#include "transfer_ports.h"

namespace {
constexpr const char* busy_text = "The TFTP server is busy. Please try again soon.";
} // namespace

void refuse_from(int listening, const net_endpoint& local, const net_endpoint& sender, int code,
                 const char* text) {
    uint8_t reply[packet_buffer_size] = {};
    int length = build_error(reply, code, text);
    // A port of the transfers' own, as a firewall in front of the server expects; without one
    // (none left in the range, or none the system gives) the listening port, which it lets
    // through as well.
    bool no_free_port = false;
    socket_owner refusal(transfer_socket_open(local, &no_free_port));
    int from = refusal.get() >= 0 ? refusal.get() : listening;
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

void TFTP_Refuserequests(int listening, const net_endpoint& local, const net_endpoint& sender) {
    board_busy();
    refuse_from(listening, local, sender, 2, busy_text);
}
