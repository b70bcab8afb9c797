#include "daemon.h"

#include "access_lists.h"
#include "busy_refusal.h"
#include "diag/report.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "engine/file_layer.h"
#include "engine/fsm.h"
#include "engine/packet.h"
#include "platform/clock.h"
#include "platform/socket.h"

std::atomic<int> listen_socket{-1};
std::atomic<int> listen_port_override{0};
std::atomic<int> daemon_running{0};

namespace {

// How long the daemon waits for the busy refusal of the last transfer to let go of the port.
constexpr int refusal_end_wait_ms = 2000;

void wait_for_refusal_end() {
    for (int waited = 0; refusal_running && waited < refusal_end_wait_ms; waited += 5)
        sleep_ms(5);
}

// The daemon thread owns the listening socket: it is closed when the thread leaves its loop,
// whether by a stop or by a fatal report that ends the thread. Only then may a new daemon start.
struct listening_socket_closer {
    ~listening_socket_closer() {
        wait_for_refusal_end();
        int fd = listen_socket.exchange(-1);
        if (fd >= 0) sock_close(fd);
        daemon_running = 0;
    }
};

// Whatever a transfer opened is closed when it ends, however it ends: completed, refused, timed
// out, stopped, ended by the peer's fault or by a fatal report.
struct transfer_cleanup {
    ~transfer_cleanup() {
        if (transfer_state.file) {
            file_close_unchecked(transfer_state.file);
            status_file_delete();
        }
        transfer_kind = 0;
        net_close();
    }
};

} // namespace

void net_init(const char* service) {
    int port = listen_port_override ? listen_port_override.load() : service_port(service);
    int fd = sock_open_udp();
    if (fd < 0) report_fatal("net_init: can't create the datagram socket.");
    listen_socket = fd;
    if (sock_bind(fd, static_cast<uint16_t>(port)) < 0)
        report_fatal("net_init: can't bind local address.");
    trace_line("net_init: Successfully bound server socket.");
    if (sock_set_nonblocking(fd, true) < 0)
        report_fatal("net_init: Failed to unblock the server socket.");
}

int tftp_listen(uint8_t* buffer, int size) {
    for (;;) {
        // An idle server sleeps here until a datagram or the stop arrives: it never polls.
        bool readable = wait_readable(listen_socket, stop_event(), -1);
        if (stop_flag) return 0;
        if (!readable) continue;
        ipv4_endpoint from;
        int length = sock_recv_from(listen_socket, buffer, size, &from);
        if (length < 0) {
            if (sock_would_block()) continue;
            report_fatal("tftp_listen: A recvfrom error occurred while listening.");
        }
        std::string host = ipv4_text(from.address);
        if (tftp_netvalidate(from) < 0) {
            peer_host = host;
            return -1;
        }
        trace_line("tftp_listen: got %d bytes from host %s, port# %d.", length, host.c_str(),
                   from.port);
        // No request is that long: a datagram cut to the buffer would be read as another one.
        if (length > size) continue;
        peer_addr = from;
        first_receive = false;
        peer_host = host;
        return length;
    }
}

void tftp_serverequest(int length) {
    transfer_socket = sock_open_udp();
    if (transfer_socket < 0) report_fatal("tftp_serverequest: failed to create socket.");
    transfer_cleanup cleanup;
    if (sock_bind(transfer_socket, 0) < 0)
        report_fatal("tftp_serverequest: a bind error occurred.");
    pending_len = length;
    net_unblock();
    try {
        fsm_loop(OP_NONE);
    } catch (const transfer_ended&) {
        // The peer's fault ended this transfer only; the server listens again.
    }
}

void TFTPStartDaemon() {
    listening_socket_closer closer;
    net_init("tftp");
    while (!stop_flag) {
        // The last transfer's refusal must have let go of the port before the daemon reads it.
        wait_for_refusal_end();
        first_receive = true;
        int length = tftp_listen(transfer_state.recv_buf, packet_buffer_size);
        if (length == -1)
            net_close();
        else if (!stop_flag)
            tftp_serverequest(length);
    }
    trace_line("TFTPStartDaemon: Shutting down server socket.");
}
