#include "session.h"

#include "client_controls.h"
#include "diag/progress.h"
#include "diag/report.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "engine/file_layer.h"
#include "engine/fsm.h"
#include "engine/packet.h"
#include "engine/rtt.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <cstdio>
#include <mutex>

using namespace tftpc_controls;

std::atomic<int> transfer_active{0};
std::string start_folder;
std::atomic<int> client_port_override{0};
std::atomic<int> summary_pause_ms{750};
std::atomic<int> last_transfer_end{END_NONE};
std::atomic<int> session_running{0};

namespace {

// The longest host, remote name and local path a field gives.
constexpr size_t field_limit = 126;
constexpr size_t trace_path_limit = 259;

// Written by Start before it starts the transfer thread, read by that thread.
std::string server_host;
int server_port = 0;
std::string remote_name;
std::string local_path;

std::mutex error_text_mutex;
std::string server_error_text;

// "HOST:PORT" names a port of its own; anything else is all host.
void split_host_port(const std::string& word, std::string* host, int* port) {
    *host = word;
    *port = client_port_override;
    size_t colon = word.rfind(':');
    if (colon == std::string::npos || colon + 1 == word.size() || colon + 6 < word.size()) return;
    int value = 0;
    for (size_t i = colon + 1; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9') return;
        value = value * 10 + (word[i] - '0');
    }
    if (value < 1 || value > 65535) return;
    *host = word.substr(0, colon);
    *port = value;
}

std::string first_word(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) return "";
    return text.substr(start, text.find_first_of(" \t", start) - start);
}

void buttons_idle() {
    ui_enable(IDC_START, true);
    ui_enable(IDC_STOP, false);
    ui_focus(IDC_HOST);
}

// The transfer of either direction: opcode 1 downloads, 2 uploads.
void client_transfer(int opcode, const std::string& remote, const std::string& local) {
    const bool download = opcode == OP_RRQ;
    transfer_record& t = transfer_state;
    stop_clear();
    t.file = file_open(local, download ? "wb" : "rb", download ? 1 : 0);
    if (!t.file) {
        report_error(download ? "Cannot open '%s' for writing." : "Cannot open '%s' for reading.",
                     local.c_str());
        last_transfer_end = END_FAILED;
        return;
    }
    if (net_open(server_host, "tftp", server_port) < 0) {
        file_close(t.file);
        last_transfer_end = END_FAILED;
        return;
    }
    byte_count = 0;
    t_start();
    if (!download) t.last_data_size = block_size;
    const char* sending =
        download ? "Sending file download request..." : "Sending file upload request...";
    status_text(sending);
    trace_line("%s", sending);
    send_RQ(opcode, remote, t.mode);
    status_text(download ? "Commencing file download..." : "Commencing file upload...");
    transfer_kind = opcode;
    progress_start();
    int result = fsm_loop(opcode);
    t_stop();
    net_close();
    file_close(t.file);
    if (last_transfer_end == END_NONE)
        last_transfer_end = result < 0 ? END_TIMED_OUT : END_COMPLETED;
    status_final("Connection to TFTP server closed.");
    stop_raise();
    sleep_ms(summary_pause_ms);
    (download ? summary_received : summary_sent)(t_elapsed());
}

void run_transfer_thread(void (*transfer)(const std::string&, const std::string&)) {
    struct session_end {
        ~session_end() {
            session_running = 0;
            event_set(session_end_event());
        }
    } end;
    ui_beep();
    transfer_active = 1;
    status_text("Initiating file transfer...");
    transfer(remote_name, local_path);
    buttons_idle();
    trace_line("File transfer thread ending...");
    transfer_active = 0;
}

} // namespace

int session_end_event() {
    static const int event = event_create();
    return event;
}

std::string last_server_error_text() {
    std::lock_guard<std::mutex> lock(error_text_mutex);
    return server_error_text;
}

void client_start() {
    std::string host = first_word(ui_get_text(IDC_HOST, field_limit));
    ui_set_text(IDC_HOST, host);
    if (host.empty()) {
        report_error("Please provide a TFTP server host.");
        return;
    }
    if (!trace_open(ui_is_checked(IDC_LOG_TRACES), ui_get_text(IDC_TRACE_FILE, trace_path_limit)))
        return;
    const bool upload = ui_is_checked(IDC_UPLOAD);
    std::string remote, local;
    if (upload) {
        local = ui_get_text(IDC_LOCAL_FILE, field_limit);
        if (local.empty()) {
            report_error("Please provide a valid local filename.");
            return;
        }
        if (!file_readable(local)) {
            report_error("Failed to open '%s' for reading.", local.c_str());
            return;
        }
        remote = ui_get_text(IDC_REMOTE_FILE, field_limit);
        if (remote.empty()) {
            report_error("Please provide a remote file name.");
            return;
        }
    } else {
        remote = ui_get_text(IDC_REMOTE_FILE, field_limit);
        if (remote.empty()) {
            report_error("Please provide a remote file name.");
            return;
        }
        local = ui_get_text(IDC_LOCAL_FILE, field_limit);
        if (local.empty()) {
            local = start_folder + "/" + remote;
            ui_set_text(IDC_LOCAL_FILE, local);
        }
    }
    transfer_state.mode = ui_is_checked(IDC_ASCII) ? MODE_NETASCII : MODE_OCTET;
    packet_timeout = timeout_list_seconds(IDC_PACKET_TIMEOUT);
    ui_enable(IDC_START, false);
    ui_enable(IDC_STOP, true);
    status_text("Spawning a new thread...");
    trace_line("PelloryTFTP client v1.0.1 commencing...");
    trace_line("%s", winsock_line().c_str());
    os_version_line();
    trace_line("Attempting to create a file transfer thread...");

    split_host_port(host, &server_host, &server_port);
    remote_name = remote;
    local_path = local;
    last_transfer_end = END_NONE;
    event_clear(session_end_event());
    session_running = 1;
    thread_start(upload ? upload_thread : download_thread);
    // After the start, so that the transfer thread keeps the normal priority.
    thread_priority_below_normal();
}

void download_thread() { run_transfer_thread(client_download); }

void upload_thread() { run_transfer_thread(client_upload); }

void client_download(const std::string& remote, const std::string& local) {
    client_transfer(OP_RRQ, remote, local);
}

void client_upload(const std::string& remote, const std::string& local) {
    client_transfer(OP_WRQ, remote, local);
}

int net_open(const std::string& host, const char* service, int port) {
    int fd = udp_open(host, service, port);
    if (fd < 0) return -1;
    transfer_socket = fd;
    trace_line("net_open: host %s, port# %d.", ipv4_text(peer_addr.address).c_str(),
               peer_addr.port);
    peer_host = host;
    first_receive = true;
    return 0;
}

int udp_open(const std::string& host, const char* service, int port) {
    peer_addr = {};
    if (service) {
        int service_number = service_port(service);
        if (service_number == 0) {
            report_error("udp_open: unknown service: %s/udp", service);
            return -1;
        }
        peer_addr.port = static_cast<uint16_t>(port > 0 ? port : service_number);
    } else if (port > 0) {
        peer_addr.port = static_cast<uint16_t>(port);
    } else {
        report_error("udp_open: must specify either service or port.");
        return -1;
    }
    host_lookup found;
    if (!ipv4_parse(host, &peer_addr.address)) {
        if (!host_resolve(host, &found)) {
            report_error("udp_open: unable to resolve host '%s'.", host.c_str());
            return -1;
        }
        peer_addr.address = found.addresses.front();
    }
    if (port < 0) report_fatal("udp_open: reserved ports not implemented yet.");
    int fd = sock_open_udp();
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

void send_RQ(int opcode, const std::string& name, int mode) {
    trace_line("send_RQ: Sending RRQ/WRQ for %s, mode = %d.", name.c_str(), mode);
    status_text("Sending request to server...");
    if (mode != MODE_NETASCII && mode != MODE_OCTET) report_fatal("send_RQ: Unknown mode.");
    transfer_record& t = transfer_state;
    t.send_len = build_request(t.send_buf, opcode, name.c_str(),
                               mode == MODE_NETASCII ? "netascii" : "octet");
    net_send(t.send_buf, t.send_len);
    t.op_sent = opcode;
}

int recv_ERROR(const uint8_t* packet, int length) {
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
    {
        std::lock_guard<std::mutex> lock(error_text_mutex);
        server_error_text.clear();
        for (int i = 2; i < length && packet[i] != 0; ++i)
            if (packet[i] >= ' ' && packet[i] < 127)
                server_error_text += static_cast<char>(packet[i]);
    }
    last_transfer_end = END_REFUSED;
    ui_message_box(message, "Transfer error", ui_icon::information, ui_buttons::ok);
    return -1;
}

void client_stop() {
    ui_beep();
    buttons_idle();
    status_final("File transfer aborted by user.");
    trace_line("File transfer aborted by user.");
    stop_raise();
    transfer_active = 0;
}

void client_transfer_stopped() {
    buttons_idle();
    trace_line("File transfer stopped.");
    transfer_active = 0;
    last_transfer_end = END_STOPPED;
    net_close();
    file_close_unchecked(transfer_state.file);
    status_file_delete();
    thread_end();
}

void client_abort() {
    status_file_delete();
    client_stop();
    status_final("PelloryTFTP client transfer thread aborted.");
    trace_line("PelloryTFTP client transfer thread aborted.");
    net_close();
    file_close_unchecked(transfer_state.file);
    trace_drop_log();
    last_transfer_end = END_FAILED;
}
