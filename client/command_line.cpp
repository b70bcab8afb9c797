#include "command_line.h"

#include "client_controls.h"
#include "client_role.h"
#include "client_settings.h"
#include "client_window.h"
#include "diag/role.h"
#include "diag/status.h"
#include "engine/options.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/signals.h"
#include "platform/socket.h"
#include "session.h"
#include "ui/console_backend.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace tftpc_controls;

namespace {

const std::vector<command_option>& client_options() {
    static const std::vector<command_option> options = {
        {"get", "download REMOTE from HOST", "", ""},
        {"put", "upload LOCAL to HOST", "", ""},
        {"ascii", "netascii mode, for text (default: octet, for anything)", "", ""},
        {"timeout", "packet timeout in seconds, 2 to 120 (default: 120)", "S",
         "a number of seconds from 2 to 120"},
        {"port", "the server's port instead of the tftp port (69)", "N",
         "a port number from 1 to 65535"},
        {"log", "append a timestamped trace of every step to FILE", "FILE", "a file name"},
        {"extensions",
         "ask for the TFTP extensions: blocks of 1468 bytes, a\nwindow of 16, the file's size, "
         "files over 32 MiB",
         "", ""},
        {"blksize", "ask for blocks of N bytes, 8 to 65464 (implies\n--extensions)", "N",
         "a block size from 8 to 65464"},
        {"windowsize", "ask for a window of N blocks, 1 to 512 (implies\n--extensions)", "N",
         "a window size from 1 to 512"},
        {"4", "use IPv4 only", "", ""},
        {"6", "use IPv6 only", "", ""},
        {"verbose", "print every status line, as the window shows them", "", ""},
    };
    return options;
}

struct request {
    bool get = false, put = false, ascii = false;
    std::vector<std::string> names; // host and the files, in the order given
    int timeout = 0, port = 0;
    std::string log;
    bool extensions = false;
    int block_size = block_size_default, window_size = window_size_default;
    int ip_version = 0; // the entry of the window's list
    bool verbose = false;
};

const command_program pellcl = {"pellcl", "PelloryTFTP client", command_line_usage};

int fail(const std::string& message) { return command_line_refused(pellcl, message); }

// Fills r from the arguments; the exit status to leave with, or -1 to go on.
int parse(int argc, char** argv, request* r) {
    command_line line(client_options());
    if (int status = line.parse_or_answer(argc, argv, pellcl); status >= 0) return status;
    r->get = line.is_set("get");
    r->put = line.is_set("put");
    r->ascii = line.is_set("ascii");
    r->verbose = line.is_set("verbose");
    r->log = line.value("log");
    r->names = line.words();
    if (!(line.number("timeout", timeout_min_seconds, timeout_max_seconds, &r->timeout) &&
          line.number("port", 1, 65535, &r->port) &&
          line.number("blksize", blksize_min, blksize_max, &r->block_size) &&
          line.number("windowsize", 1, window_size_limit, &r->window_size)))
        return fail(line.error());
    r->extensions =
        line.is_set("extensions") || line.is_set("blksize") || line.is_set("windowsize");
    if (line.is_set("4") && line.is_set("6")) return fail("name one IP version: -4 or -6.");
    r->ip_version = line.is_set("4") ? 1 : line.is_set("6") ? 2 : 0;
    if (r->get == r->put) return fail("name one direction: --get or --put.");
    if (r->names.size() < 2 || r->names.size() > 3)
        return fail(r->get ? "--get needs HOST REMOTE [LOCAL]."
                           : "--put needs HOST LOCAL [REMOTE].");
    return -1;
}

std::string base_name(const std::string& path) {
    size_t slash = path.find_last_of(path_separators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The controls as a user would fill them in the window.
void fill_window(const request& r) {
    ui_set_text(IDC_HOST, r.names[0]);
    ui_set_checked(IDC_UPLOAD, r.put);
    ui_set_checked(IDC_DOWNLOAD, r.get);
    if (r.get) {
        ui_set_text(IDC_REMOTE_FILE, r.names[1]);
        ui_set_text(IDC_LOCAL_FILE, r.names.size() > 2 ? r.names[2] : "");
    } else {
        ui_set_text(IDC_LOCAL_FILE, r.names[1]);
        ui_set_text(IDC_REMOTE_FILE, r.names.size() > 2 ? r.names[2] : base_name(r.names[1]));
    }
    ui_set_checked(IDC_ASCII, r.ascii);
    ui_set_checked(IDC_BINARY, !r.ascii);
    timeout_list_select(IDC_PACKET_TIMEOUT, r.timeout ? r.timeout : timeout_max_seconds);
    ui_set_checked(IDC_LOG_TRACES, !r.log.empty());
    ui_set_text(IDC_TRACE_FILE, r.log);
    client_extensions_show(r.extensions);
    ui_list_select(IDC_IP_VERSION, r.ip_version);
    ui_set_text(IDC_BLOCK_SIZE, std::to_string(r.block_size));
    ui_set_text(IDC_WINDOW_SIZE, std::to_string(r.window_size));
    client_port_override = r.port;
    summary_pause_ms = 0;
}

// The exit status of the transfer, with the summary of one that completed, or the reason of one
// that failed on standard error: once, whether a box or the status line said it.
int report_end(bool verbose) {
    switch (last_transfer_end.load()) {
    case END_COMPLETED:
        if (!verbose) ui_console_say(ui_get_text(IDC_STATUS, 200));
        return 0;
    case END_TIMED_OUT:
        std::fprintf(stderr, "The file transfer timed out.\n");
        return 1;
    case END_REFUSED: // its box has said it
        return 1;
    case END_STOPPED:
        std::fprintf(stderr, "File transfer aborted by user.\n");
        return 1;
    default: // a box has shown the reason already, unless the network refused the server
        if (!last_failure_text().empty()) std::fprintf(stderr, "%s\n", last_failure_text().c_str());
        return 1;
    }
}

} // namespace

void command_line_usage(const char* program) {
    std::printf(
        "Usage: %s --get HOST REMOTE [LOCAL] [options]\n"
        "       %s --put HOST LOCAL [REMOTE] [options]\n"
        "\n"
        "PelloryTFTP client v%s: a TFTP client (RFC 1350, UDP, IPv4 and IPv6).\n"
        "Without arguments (or with --config FILE alone) it opens its window; with --get or\n"
        "--put it runs one transfer from the console and exits 0 only when the transfer\n"
        "completed.\n"
        "\n"
        "  HOST                   the server: a name (its IPv6 and IPv4 addresses are tried\n"
        "                         in turn), an IPv4 or IPv6 address; HOST:PORT and\n"
        "                         [IPv6]:PORT name its port\n"
        "  REMOTE                 the file's name on the server (--put: default LOCAL's\n"
        "                         name)\n"
        "  LOCAL                  the file on this machine (--get: default REMOTE's name\n"
        "                         in the current folder)\n"
        "%s"
        "\n"
        "Examples:\n"
        "  %s --get 192.168.1.20 firmware.bin\n"
        "  %s --put router.lab:6969 config.txt startup-config --timeout 5\n",
        program, program, PELL_VERSION, command_line(client_options()).options_help().c_str(),
        program, program);
}

int command_line_main(int argc, char** argv) {
    ui_console_install(IDC_STATUS);
    role_install(&client_role);
    request r;
    int status = parse(argc, argv, &r);
    if (status >= 0) return status;
    // On a terminal one line, redrawn in place, counts the bytes instead of a line a second.
    if (stdout_is_terminal()) {
        static role_profile metered = [] {
            role_profile p = client_role;
            p.texts.progress_kind_1 = p.texts.progress_kind_2 = nullptr;
            return p;
        }();
        role_install(&metered);
        ui_console_meter(IDC_PROGRESS, IDC_RATE);
    }

    // The meter, the summary and the failures; the steps between only when asked for.
    ui_console_status_shown(r.verbose);
    // Taken by the main thread alone: SIGINT presses Stop.
    signals_hold_termination();
    int signals = signals_termination_fd();
    client_window_open();
    fill_window(r);
    client_start();
    bool stopped = false;
    while (session_running) {
        // Woken by a signal or by the end of the transfer, never by a clock.
        if (wait_readable(signals, session_end_event(), -1) && signals_take(signals) && !stopped) {
            client_stop();
            stopped = true;
        }
    }
    status_file_delete();
    int exit_status = report_end(r.verbose);
    std::fflush(stdout);
    std::fflush(stderr);
    // The progress thread may not have seen the end yet: no static is destroyed under it.
    process_end_now(exit_status);
}
