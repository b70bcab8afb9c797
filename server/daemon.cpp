#include "daemon.h"

#include "access_lists.h"
#include "busy_refusal.h"
#include "diag/report.h"
#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "engine/fsm.h"
#include "engine/transfer.h"
#include "listeners.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "platform/wait_set.h"
#include "request.h"
#include "request_intake.h"
#include "request_records.h"
#include "roots.h"
#include "run_as.h"
#include "server_run.h"
#include "settings.h"
#include "transfer_board.h"
#include "transfer_ports.h"
#include "transfer_table.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

std::atomic<int> daemon_running{0};

namespace {

constexpr int burst_queue_bytes = 4 << 20;
// How long a new run waits for the previous daemon before it says so on the status line.
constexpr auto quiet_wait = std::chrono::milliseconds(500);

// What the daemon threads and the threads that start, stop and wait for them share. A daemon
// thread runs detached and may still be ending when the process exits, so this is never
// destroyed: no thread ever ends on a lock that the exit has torn down.
struct daemon_runs {
    // The turn to serve, held by one daemon for as long as it owns its sockets.
    std::mutex turn_mutex;
    std::condition_variable turn_free;
    bool turn_taken = false;
    // The stop of the current run, and what guards the pointer itself.
    std::mutex current_mutex;
    std::shared_ptr<stop_request> current_stop;
    // The daemon threads still alive, counted under a lock so that a wait for their end is exact.
    std::mutex threads_mutex;
    std::condition_variable threads_ended;
    int threads_alive = 0;
};

daemon_runs& runs() {
    static daemon_runs* const shared = new daemon_runs;
    return *shared;
}

// The run a daemon thread serves, which that thread owns; none on any other thread. A plain
// pointer: MinGW's runtime may free a thread's storage before it runs the destructors of the
// thread's own variables, and a shared_ptr's would then read freed memory as the thread ends.
thread_local const stop_request* run_of_this_thread = nullptr;

// A daemon's turn to serve: it begins once the previous run's daemon has let go (saying so on the
// status line if that takes a while) and ends with the daemon.
class serving_turn {
  public:
    serving_turn() {
        daemon_runs& r = runs();
        std::unique_lock<std::mutex> lock(r.turn_mutex);
        if (!r.turn_free.wait_for(lock, quiet_wait, [&r] { return !r.turn_taken; })) {
            lock.unlock();
            status_text("Waiting for the previous server to stop...");
            lock.lock();
            r.turn_free.wait(lock, [&r] { return !r.turn_taken; });
        }
        r.turn_taken = true;
    }
    ~serving_turn() {
        daemon_runs& r = runs();
        std::lock_guard<std::mutex> lock(r.turn_mutex);
        r.turn_taken = false;
        r.turn_free.notify_all();
    }
    serving_turn(const serving_turn&) = delete;
    serving_turn& operator=(const serving_turn&) = delete;
};

// The daemon thread's own: the listening sockets, the transfers and the set it waits on.
// Whatever ends the thread (a stop, a fatal report) closes them all on the way out.
struct daemon_state {
    std::vector<std::unique_ptr<listener>> listeners;
    wait_set waits;
    transfer_table transfers{waits};
    request_intake intake;
    refusal_sockets refusals;
};

// The shorter of two waits in milliseconds, -1 standing for none.
int sooner(int a, int b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); }

// Marks a daemon thread's end for whoever waits on it, after everything it owned is closed.
struct end_mark {
    ~end_mark() {
        daemon_runs& r = runs();
        std::lock_guard<std::mutex> lock(r.threads_mutex);
        daemon_running = --r.threads_alive;
        if (r.threads_alive == 0) r.threads_ended.notify_all();
    }
};

void listen(daemon_state& d, const stop_request& stop) {
    descriptor_limit_raise();
    if (!d.waits.usable() || !d.waits.add(stop.event()))
        report_fatal("net_init: can't create the datagram socket.");
    d.listeners = net_init("tftp");
    // One status file for each server a user runs, named after its port.
    if (!d.listeners.empty()) {
        std::string tag = "-";
        tag += std::to_string(d.listeners.front()->where.port);
        status_file_instance(tag);
    }
    for (const auto& l : d.listeners) {
        if (!d.waits.add(l->socket.get()))
            report_fatal("net_init: can't create the datagram socket.");
        // A room of machines that boot at once sends its requests in one burst, and a flood
        // from one address comes faster than it is read: what comes meanwhile waits in the
        // queue instead of being dropped.
        sock_set_buffers(l->socket.get(), burst_queue_bytes);
    }
}

// Where a refusal leaves from: a port of its own, or with a single port the listening one.
int refusal_socket(daemon_state& d, const listener& l, const net_endpoint& local) {
    if (settings_now()->SinglePort == 1) return l.socket.get();
    return d.refusals.socket_for(l.socket.get(), local);
}

void start_transfer(daemon_state& d, const listener& l, const intake_datagram& request,
                    const std::string& host) {
    const net_endpoint& from = request.from;
    const arrival& at = request.at;
    // One port for everything, for a NAT or a firewall that forwards only that one.
    const bool single_port = settings_now()->SinglePort == 1;
    bool no_free_port = false;
    int fd = single_port ? l.socket.get() : transfer_socket_open(at.local, &no_free_port);
    // The refusals' own ports go back to the transfers that need them.
    if (no_free_port && d.refusals.release()) fd = transfer_socket_open(at.local, &no_free_port);
    if (no_free_port)
        return refuse_from(refusal_socket(d, l, at.local), from, 0,
                           "No free transfer port.");
    // Nothing can answer it now; the client asks again once transfers have ended.
    if (fd < 0 && sock_out_of_descriptors())
        return trace_line("tftp_listen: No descriptor is left for a transfer of host %s.",
                          host.c_str());
    if (fd < 0)
        return trace_line("tftp_serverequest: a bind error occurred for host %s: %s.", host.c_str(),
                          error_text(sock_last_error()).c_str());
    transfer& t = d.transfers.open(at.interface_index);
    t.socket = fd;
    t.socket_shared = single_port;
    t.peer = from;
    t.local = at.local;
    t.peer_host = host;
    t.timeout_seconds = packet_timeout;
    t.path_mtu = interface_mtu(at.interface_index);
    t.request = request.bytes;
    std::copy(request.bytes.begin(), request.bytes.end(), t.recv_buf.begin());
    d.transfers.begin(t, request.length);
}

// Whether a new request from the client must wait: every slot is taken, or the client's own.
bool no_room(const daemon_state& d, const net_endpoint& client) {
    const auto settings = settings_now();
    return d.transfers.size() >= static_cast<size_t>(settings->MaxTransfers) ||
           d.transfers.of_client(client) >= settings->MaxPerClient;
}

// Serves, refuses or drops one datagram read at a listening socket.
void tftp_listen(daemon_state& d, const listener& l, intake_datagram& request) {
    const net_endpoint& from = request.from;
    if (d.transfers.deliver(from, request.bytes)) return;
    arrival& at = request.at;
    const int length = request.length;
    const bool busy = no_room(d, from);
    std::string host = address_text(from);
    // Answers leave from the address the request came to.
    if (is_any_address(at.local)) at.local = any_address(l.where.family, 0);
    at.local.port = 0;
    if (tftp_netvalidate(from) < 0) {
        d.intake.ignored(from);
        record_turned_away(from, "ignored: not on the access lists", 1);
        if (busy)
            trace_line("TFTP_Refuserequests: Refused unauthorised request from host %s.",
                       host.c_str());
        else
            trace_line(role().texts.net_close, host.c_str(), -1);
        return;
    }
    // No answer can reach port 0: such a datagram is forged.
    if (from.port == 0) {
        trace_line("tftp_listen: Dropped a datagram from port 0 of host %s.", host.c_str());
        return;
    }
    // No request is that long: a datagram cut to the buffer would be read as another one.
    const bool whole = length <= packet_buffer_size;
    // A client whose answer was lost sends its request again: its transfer is already running.
    if (whole && d.transfers.running(from, request.bytes)) {
        trace_line("tftp_listen: Request from host %s, port# %d came again; its transfer runs.",
                   host.c_str(), from.port);
        return;
    }
    if (busy) {
        d.transfers.drain();
        const bool still_busy = no_room(d, from);
        // Only a request is told: a busy server must not answer whatever anyone sends it.
        const auto* bytes = reinterpret_cast<const uint8_t*>(request.bytes.data());
        if (still_busy && !(whole && request_well_formed(bytes, length)))
            return trace_line("tftp_listen: Dropped %d bytes from host %s that are no request.",
                              length, host.c_str());
        if (still_busy)
            return TFTP_Refuserequests(refusal_socket(d, l, at.local), from);
    }
    trace_line("tftp_listen: got %d bytes from host %s, port# %d.", length, host.c_str(),
               from.port);
    if (!whole) return;
    start_transfer(d, l, request, host);
}

} // namespace

int daemon_listening_event() {
    static const int event = event_create();
    return event;
}

// Entry of a run's daemon thread; it returns when the run's stop is raised.
void TFTPStartDaemon(const std::shared_ptr<stop_request>& stop) {
    end_mark mark;
    run_of_this_thread = stop.get();
    serving_turn turn;
    if (stop->raised()) return;
    // After everything the daemon owned is closed, however it ends: the list shows the last.
    struct board_shown {
        ~board_shown() { board_flush(); }
    } shown;
    daemon_state d;
    listen(d, *stop);
    // Bound: what root was needed for is done before the first request is read.
    std::string refusal;
    if (!run_as_now(&refusal))
        report_fatal(("pellsd cannot go on as its user: " + refusal + ".").c_str());
    // As the user the uploads are written as: what it may remove, they could have left.
    roots_leftovers_remove(*settings_now());
    event_set(daemon_listening_event());
    server_listening();
    while (!stop->raised()) {
        // An idle server sleeps here until a datagram, a wait's end or the stop: it never polls.
        std::vector<int> ready =
            d.waits.wait(sooner(sooner(d.transfers.expire(), d.transfers.send_held()),
                                sooner(board_tick(), d.intake.report())));
        if (stop->raised()) break;
        // What came for the transfers first: a request is answered only after them.
        for (int fd : ready)
            d.transfers.receive(fd);
        for (const auto& l : d.listeners)
            if (std::find(ready.begin(), ready.end(), l->socket.get()) != ready.end()) {
                d.intake.read(l->socket.get(), [&d](const net_endpoint& from) {
                    return d.transfers.serves(from);
                });
                intake_datagram request;
                while (d.intake.next(&request))
                    tftp_listen(d, *l, request);
            }
    }
    d.transfers.stop_all();
    trace_line("TFTPStartDaemon: Shutting down server socket.");
}

int daemon_start() {
    auto stop = std::make_shared<stop_request>();
    daemon_runs& r = runs();
    {
        std::lock_guard<std::mutex> lock(r.current_mutex);
        r.current_stop = stop;
    }
    event_clear(daemon_listening_event());
    {
        std::lock_guard<std::mutex> lock(r.threads_mutex);
        daemon_running = ++r.threads_alive;
    }
    int error = thread_start([stop] { TFTPStartDaemon(stop); });
    if (error != 0) {
        end_mark never_started;
        stop->raise();
    }
    return error;
}

void daemon_stop() {
    daemon_runs& r = runs();
    std::lock_guard<std::mutex> lock(r.current_mutex);
    if (r.current_stop) r.current_stop->raise();
}

bool daemon_run_is_current() {
    daemon_runs& r = runs();
    std::lock_guard<std::mutex> lock(r.current_mutex);
    return !run_of_this_thread || run_of_this_thread == r.current_stop.get();
}

bool daemon_wait_end(int milliseconds) {
    daemon_runs& r = runs();
    std::unique_lock<std::mutex> lock(r.threads_mutex);
    return r.threads_ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                    [&r] { return r.threads_alive == 0; });
}
