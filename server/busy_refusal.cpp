#include "busy_refusal.h"

#include "access_lists.h"
#include "daemon.h"
#include "diag/report.h"
#include "diag/shared_flags.h"
#include "diag/trace.h"
#include "engine/packet.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "settings.h"

std::atomic<int> refusal_running{0};

namespace {

constexpr const char* busy_text = "The TFTP server is busy. Please try again soon.";
// The longest the thread sleeps before it looks whether its transfer is still running (the end
// of a transfer raises no event).
constexpr int stop_poll_ms = 50;

bool in_force() { return !stop_flag && ServerEnabled == 1 && transfer_kind != 0; }

void refuse(const ipv4_endpoint& sender) {
    uint8_t reply[packet_buffer_size] = {};
    int length = build_error(reply, 2, busy_text);
    socket_owner refusal(sock_open_udp());
    if (refusal.get() < 0)
        report_fatal("TFTP_Refuserequests: failed to create the refusal socket.");
    if (sock_bind(refusal.get(), 0) < 0)
        report_fatal("TFTP_Refuserequests: a bind error occurred.");
    if (sock_send_to(refusal.get(), reply, static_cast<size_t>(length), sender) != length)
        report_fatal("TFTP_Refuserequests: An error occurred with sendto() on the refusal socket.");
    trace_line("TFTP_Refuserequests: Refused request from host %s, port# %d.",
               ipv4_text(sender.address).c_str(), sender.port);
}

} // namespace

void refusal_start() {
    // The thread reads the listening socket through a descriptor of its own, which it closes
    // itself, so that the daemon's socket never changes hands.
    int fd = sock_duplicate(listen_socket);
    if (fd < 0) report_fatal("TFTP_Refuserequests: failed to create the refusal socket.");
    refusal_running = 1;
    thread_start([fd] { TFTP_Refuserequests(fd); });
}

void TFTP_Refuserequests(int listen_fd) {
    struct running_mark {
        ~running_mark() { refusal_running = 0; }
    } mark;
    socket_owner listener(listen_fd);
    thread_priority_idle();
    uint8_t buffer[packet_buffer_size] = {};
    while (in_force()) {
        // The end is looked at before each read, so that a request arriving as the transfer
        // ends stays queued for the daemon instead of being refused.
        if (!wait_readable(listen_fd, stop_event(), stop_poll_ms) || !in_force()) continue;
        ipv4_endpoint sender;
        if (sock_recv_from(listen_fd, buffer, sizeof buffer, &sender) < 0) {
            if (sock_would_block()) continue;
            report_fatal("TFTP_Refuserequests: A recvfrom error occurred while listening.");
        }
        if (tftp_netvalidate(sender) < 0) {
            trace_line("TFTP_Refuserequests: Refused unauthorised request from host %s.",
                       ipv4_text(sender.address).c_str());
            continue;
        }
        refuse(sender);
    }
}
