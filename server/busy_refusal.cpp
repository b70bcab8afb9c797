#include "busy_refusal.h"

#include "diag/report.h"
#include "diag/trace.h"
#include "engine/packet.h"
#include "platform/files.h"
#include "transfer_board.h"

namespace {
constexpr const char* busy_text = "The TFTP server is busy. Please try again soon.";
} // namespace

void refuse_from(const net_endpoint& local, const net_endpoint& sender, int code,
                 const char* text) {
    uint8_t reply[packet_buffer_size] = {};
    int length = build_error(reply, code, text);
    socket_owner refusal(sock_open_udp(local.family));
    if (refusal.get() < 0)
        report_fatal("TFTP_Refuserequests: failed to create the refusal socket.");
    if (sock_bind(refusal.get(), local) < 0)
        report_fatal("TFTP_Refuserequests: a bind error occurred.");
    if (sock_send_to(refusal.get(), reply, static_cast<size_t>(length), sender) != length) {
        // The sender's address or network refused it: nothing more to do for this one.
        if (sock_peer_fault()) {
            trace_line("TFTP_Refuserequests: Could not answer host %s, port# %d: %s.",
                       address_text(sender).c_str(), sender.port,
                       error_text(sock_last_error()).c_str());
            return;
        }
        report_fatal("TFTP_Refuserequests: An error occurred with sendto() on the refusal socket.");
    }
    trace_line("TFTP_Refuserequests: Refused request from host %s, port# %d.",
               address_text(sender).c_str(), sender.port);
}

void TFTP_Refuserequests(const net_endpoint& local, const net_endpoint& sender) {
    board_busy();
    refuse_from(local, sender, 2, busy_text);
}
