#include "session.h"

#include "client_controls.h"
#include "client_settings.h"
#include "diag/progress.h"
#include "diag/report.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "engine/exchange.h"
#include "engine/file_layer.h"
#include "engine/fsm.h"
#include "engine/options.h"
#include "engine/packet.h"
#include "engine/rtt.h"
#include "engine/transfer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "transfer_gauge.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <cstdio>
#include <mutex>

using namespace tftpc_controls;

std::atomic<int> transfer_active{0};
std::atomic<int> summary_pause_ms{750};
std::atomic<int> last_transfer_end{END_NONE};
std::atomic<int> session_running{0};

namespace {

std::mutex error_text_mutex;
std::string failure_text;
// The server's refusal of the last request, shown once the transfer has settled.
std::string refusal_text;

void set_text(std::string& text, const std::string& value) {
    std::lock_guard<std::mutex> lock(error_text_mutex);
    text = value;
}

} // namespace

bool client_next_address(transfer& t) {
    if (t.other_addresses.empty()) return false;
    net_endpoint next = t.other_addresses.front();
    t.other_addresses.erase(t.other_addresses.begin());
    next.port = t.peer.port;
    int fd = sock_open_udp(next.family);
    if (fd < 0) return false;
    if (sock_bind(fd, 0) < 0 || sock_set_nonblocking(fd, true) < 0 || sock_want_errors(fd) < 0) {
        sock_close(fd);
        return false;
    }
    trace_line("net_open: No answer from %s; trying %s.", address_text(t.peer).c_str(),
               address_text(next).c_str());
    sock_close(t.socket);
    t.socket = fd;
    t.peer = next;
    net_send(t, t.send_buf.data(), t.send_len);
    return true;
}

namespace {

// The options a request asks for: its sizes, the timeout, and the transfer size (the file's for
// an upload, 0 to learn it for a download; a netascii size on the wire is unknown).
option_set options_to_ask(transfer& t, int opcode, const client_request& r) {
    option_set asked;
    asked.set(option_name::blksize, r.BlockSize);
    // A size that cannot be told (standard input) is not announced.
    const int64_t size = opcode == OP_RRQ ? 0 : file_size(t.path);
    if (t.mode == MODE_OCTET && size >= 0) asked.set(option_name::tsize, size);
    // The server's own timeout holds unless the user chose one.
    if (t.timeout_seconds != timeout_max_seconds)
        asked.set(option_name::timeout, t.timeout_seconds);
    // A window the socket's buffers hold, whichever way the blocks go.
    asked.set(option_name::windowsize, net_hold_window(t, r.BlockSize, r.WindowSize));
    return asked;
}

// Why an OACK cannot be taken, or empty when it can: it may name only options that were asked,
// each readable, and only lower what was asked.
std::string unacceptable(const transfer& t, const option_set& answered, const std::string& fault) {
    if (!fault.empty()) return "The server answered an option that cannot be read: " + fault + ".";
    for (const option_value& o : answered.values) {
        int64_t asked = t.asked.get(o.name);
        std::string named = options_text(option_set{{o}});
        if (asked < 0)
            return "The server answered an option that was not asked for: " + named + ".";
        bool fits = true;
        if (o.name == option_name::blksize) fits = o.value >= blksize_min && o.value <= asked;
        if (o.name == option_name::windowsize) fits = o.value >= 1 && o.value <= asked;
        if (o.name == option_name::timeout) fits = o.value == asked;
        if (!fits) return "The server answered an option beyond what was asked: " + named + ".";
    }
    return "";
}

// A download whose size differs from the one the server announced has lost or gained bytes on
// the way: it fails, saying both numbers.
void check_announced_size(const transfer& t) {
    if (t.tsize < 0 || t.mode != MODE_OCTET || t.bytes() == t.tsize) return;
    char text[160];
    std::snprintf(text, sizeof text, "The server announced %lld bytes but sent %lld.",
                  static_cast<long long>(t.tsize), static_cast<long long>(t.bytes()));
    last_transfer_end = END_FAILED;
    report_error(text);
}

void buttons_idle() {
    ui_enable(IDC_START, true);
    ui_enable(IDC_STOP, false);
    ui_focus(IDC_HOST);
}

// The family a request's host is resolved to.
net_family family_of(const client_request& r) {
    return r.IPVersion == 1 ? net_family::v4 : r.IPVersion == 2 ? net_family::v6 : net_family::none;
}

// The transfer the request asks for. The transfer belongs to this thread: however the thread
// ends, its socket and file are closed on the way out.
void client_transfer(const client_request& r) {
    const int opcode = r.Action == 0 ? OP_WRQ : OP_RRQ;
    const bool download = opcode == OP_RRQ;
    const std::string &remote = r.RemoteFile, &local = r.LocalFile;
    transfer t;
    t.mode = r.Mode == 0 ? MODE_NETASCII : MODE_OCTET;
    t.timeout_seconds = r.Timeout;
    const char* open_mode = download ? "wb" : "rb";
    const int32_t first_block = download ? 1 : 0;
    // "-" is standard output or input, as command-line tools take it.
    if (local == standard_stream_name
            ? !file_adopt(t, standard_stream(download, t.mode == MODE_NETASCII), local, open_mode,
                          first_block)
            : !file_open(t, local, open_mode, first_block)) {
        report_error((std::string(download ? "Cannot open '%s' for writing: "
                                           : "Cannot open '%s' for reading: ") +
                      error_text(errno) + ".")
                         .c_str(),
                     local.c_str());
        last_transfer_end = END_FAILED;
        return;
    }
    std::string host;
    int port = 0;
    host_port_split(r.Hostname, &host, &port);
    if (net_open(t, host, "tftp", port ? port : r.port, family_of(r)) < 0) {
        last_transfer_end = END_FAILED;
        return;
    }
    t.kind = opcode;
    const char* sending =
        download ? "Sending file download request..." : "Sending file upload request...";
    status_text(sending);
    trace_line("%s", sending);
    if (r.Extensions == 1) {
        t.asked = options_to_ask(t, opcode, r);
        t.options_asked = true;
    }
    if (fsm_guarded(t, [&] {
            send_RQ(t, opcode, remote, t.mode);
            return 0;
        }) == 0) {
        status_text(download ? "Commencing file download..." : "Commencing file upload...");
        t.meter->kind = opcode;
        progress_start(t.meter);
        gauge_start(t.meter);
        fsm_loop(t, opcode);
    }
    using outcome = transfer_outcome::kind;
    switch (t.outcome.how) {
    case outcome::stopped: // Stop has said so; the file and the socket close on the way out
        last_transfer_end = END_STOPPED;
        transfer_active = 0;
        return;
    case outcome::failed:
        // The network refused the server's address: the reason is on the status line already.
        set_text(failure_text, t.outcome.text);
        last_transfer_end = END_FAILED;
        gauge_end(false, 0);
        stop_raise();
        return;
    case outcome::refused:
        set_text(refusal_text, t.outcome.text);
        last_transfer_end = END_REFUSED;
        break;
    default:
        last_transfer_end = t.outcome.how == outcome::completed ? END_COMPLETED : END_TIMED_OUT;
    }
    t_stop(t.watch);
    net_close(t);
    if (last_transfer_end == END_COMPLETED && download) check_announced_size(t);
    // A download takes the local file's name only once it is whole: whatever else ends it leaves
    // the file that was there as it was.
    if (last_transfer_end == END_COMPLETED)
        file_close(t);
    else
        file_close_unchecked(t);
    gauge_end(last_transfer_end == END_COMPLETED, t_elapsed(t.watch));
    stop_raise();
    // A refusal says so itself: there is no wait to sum up.
    if (last_transfer_end == END_REFUSED) return status_final(refusal_text);
    status_final("Connection to TFTP server closed.");
    sleep_ms(summary_pause_ms);
    (download ? summary_received : summary_sent)(t.bytes(), t_elapsed(t.watch));
}

void run_transfer_thread(const client_request& r) {
    // Start comes back only once everything of this transfer is closed.
    struct session_end {
        ~session_end() {
            gauge_stop();
            transfer_active = 0;
            buttons_idle();
            session_running = 0;
            event_set(session_end_event());
        }
    } end;
    ui_beep();
    transfer_active = 1;
    status_text("Initiating file transfer...");
    (r.Action == 0 ? client_upload : client_download)(r);
    trace_line("File transfer thread ending...");
    // The bar and Stop rest while the server's refusal is up.
    gauge_stop();
    buttons_idle();
    if (last_transfer_end == END_REFUSED)
        ui_message_box(refusal_text, "Transfer error", ui_icon::error, ui_buttons::ok);
}

} // namespace

int session_end_event() {
    static const int event = event_create();
    return event;
}

std::string last_failure_text() {
    std::lock_guard<std::mutex> lock(error_text_mutex);
    return failure_text;
}

void client_start() {
    // One transfer at a time: the next Start waits until the last one has closed everything.
    if (session_running) return;
    client_request request;
    std::string refusal = client_setting_table().take_all(&request);
    if (refusal.empty()) refusal = client_request_check(&request);
    // The host as it is taken, and a download's local file where it goes.
    ui_set_text(IDC_HOST, request.Hostname);
    if (refusal.empty()) ui_set_text(IDC_LOCAL_FILE, request.LocalFile);
    if (!refusal.empty()) return report_error(refusal.c_str());
    client_run(request);
}

void client_run(const client_request& request) {
    if (session_running) return;
    if (!trace_open(request.LogTraces == 1, request.TraceFile)) return;
    packet_timeout = request.Timeout;
    ui_enable(IDC_START, false);
    ui_enable(IDC_STOP, true);
    gauge_reset();
    status_text("Spawning a new thread...");
    trace_line("PelloryTFTP client v1.0.1 commencing...");
    trace_line("%s", winsock_line().c_str());
    os_version_line();
    trace_line("Attempting to create a file transfer thread...");

    last_transfer_end = END_NONE;
    set_text(failure_text, "");
    event_clear(session_end_event());
    // Cleared here, not by the thread, so that a Stop pressed as the thread starts is kept.
    stop_clear();
    session_running = 1;
    const bool upload = request.Action == 0;
    if (int error = thread_start([request, upload] {
            (upload ? upload_thread : download_thread)(request);
        });
        error != 0) {
        last_transfer_end = END_FAILED;
        buttons_idle();
        session_running = 0;
        event_set(session_end_event());
        return report_error("Cannot start the transfer: %s.", error_text(error).c_str());
    }
    // After the start, so that the transfer thread keeps the normal priority.
    thread_priority_below_normal();
}

void download_thread(const client_request& request) { run_transfer_thread(request); }

void upload_thread(const client_request& request) { run_transfer_thread(request); }

void client_download(const client_request& request) { client_transfer(request); }

void client_upload(const client_request& request) { client_transfer(request); }

int net_open(transfer& t, const std::string& host, const char* service, int port,
             net_family only) {
    int fd = udp_open(t, host, service, port, only);
    if (fd < 0) return -1;
    t.socket = fd;
    trace_line("net_open: host %s, port# %d.", address_text(t.peer).c_str(), t.peer.port);
    t.peer_host = host;
    t.first_receive = true;
    return 0;
}

int udp_open(transfer& t, const std::string& host, const char* service, int port,
             net_family only) {
    t.peer = {};
    if (port > 0) {
        t.peer.port = static_cast<uint16_t>(port);
    } else if (service) {
        int service_number = service_port(service);
        if (service_number == 0) {
            // A minimal system's service database may lack it; the protocol's own port serves.
            trace_line("udp_open: unknown service: %s/udp; using port %d.", service,
                       tftp_well_known_port);
            service_number = tftp_well_known_port;
        }
        t.peer.port = static_cast<uint16_t>(service_number);
    } else {
        report_error("udp_open: must specify either service or port.");
        return -1;
    }
    // A name's addresses in the resolver's order, the first tried first; an address is itself.
    host_lookup found;
    uint16_t peer_port = t.peer.port;
    if (!host_resolve(host, &found, only)) {
        report_error("udp_open: unable to resolve host '%s'.", host.c_str());
        return -1;
    }
    t.peer = found.addresses.front();
    t.peer.port = peer_port;
    t.other_addresses.assign(found.addresses.begin() + 1, found.addresses.end());
    if (port < 0) report_fatal("udp_open: reserved ports not implemented yet.");
    int fd = sock_open_udp(t.peer.family);
    if (fd < 0) {
        report_error("udp_open: can't create UDP socket.");
        return -1;
    }
    if (sock_bind(fd, 0) < 0) {
        report_error("udp_open: a socket bind error occurred.");
        sock_close(fd);
        return -1;
    }
    // Never connected: the server answers from a port of its own, which must reach us.
    return fd;
}

void send_RQ(transfer& t, int opcode, const std::string& name, int mode) {
    trace_line("send_RQ: Sending RRQ/WRQ for %s, mode = %d.", name.c_str(), mode);
    status_text("Sending request to server...");
    if (mode != MODE_NETASCII && mode != MODE_OCTET) report_fatal("send_RQ: Unknown mode.");
    t.send_len = build_request(t.send_buf.data(), opcode, name.c_str(),
                               mode == MODE_NETASCII ? "netascii" : "octet");
    if (t.options_asked) {
        trace_line("send_RQ: Options asked: %s.", options_text(t.asked).c_str());
        t.send_len += options_write(t.send_buf.data() + t.send_len,
                                    static_cast<int>(t.send_buf.size()) - t.send_len, t.asked);
    }
    net_send(t, t.send_buf.data(), t.send_len);
    t.op_sent = opcode;
}

int recv_OACK(transfer& t, const uint8_t* packet, int length) {
    std::string fault;
    option_set answered = options_parse(packet, packet + length, &fault);
    trace_line("recv_OACK: Options answered: %s.", options_text(answered).c_str());
    std::string refused = unacceptable(t, answered, fault);
    if (!refused.empty()) {
        tell_peer(t, 8, refused);
        report_transfer_end("recv_OACK: " + refused);
    }
    t.take_options(answered);
    if (t.kind == OP_RRQ) {
        send_ACK(t, 0); // DATA 1 follows
        return 0;
    }
    send_first_window(t); // the OACK stood in for ACK 0
    return 0;
}

int recv_ERROR(transfer& t, const uint8_t* packet, int length) {
    // The code's meaning, then the server's own words: why it refused is in them.
    static const char* const messages[] = {
        "Error code %d: An undefined error occurred.",
        "Error code %d: The file was not located on the server.",
        "Error code %d: You do not have the right to access that file.",
        "Error code %d: There is no more space left on the server.",
        "Error code %d: An illegal TFTP operation was attempted.",
        "Error code %d: Unknown port number.",
        "Error code %d: The file already exists.",
        "Error code %d: The user is unknown to the server.",
    };
    int code = get16(packet);
    char message[128];
    std::snprintf(message, sizeof message, messages[code >= 1 && code <= 7 ? code : 0], code);
    trace_line("ERROR received, %d bytes, error code %d", length - 2, code);
    t.outcome = {transfer_outcome::kind::refused, with_peer_words(message, packet, length)};
    return -1;
}

int recv_OACK_again(transfer& t, const uint8_t* packet, int length) {
    bool answered_only = t.kind == OP_RRQ ? t.nextblknum == 1 : t.acked == 0;
    if (!answered_only) return fsm_invalid(t, packet, length);
    trace_line("recv_OACK: The OACK came again.");
    if (t.kind == OP_RRQ) send_ACK(t, 0);
    return 0;
}

void client_stop() {
    ui_beep();
    // Start comes back when the transfer thread has ended.
    ui_enable(IDC_STOP, false);
    status_final("File transfer aborted by user.");
    trace_line("File transfer aborted by user.");
    stop_raise();
    transfer_active = 0;
}

void client_abort() {
    status_file_delete();
    client_stop();
    status_final("PelloryTFTP client transfer thread aborted.");
    trace_line("PelloryTFTP client transfer thread aborted.");
    trace_drop_log();
    last_transfer_end = END_FAILED;
}
