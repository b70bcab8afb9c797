#include "command_line.h"

#include "client_controls.h"
#include "client_role.h"
#include "client_window.h"
#include "diag/role.h"
#include "diag/status.h"
#include "platform/signals.h"
#include "platform/socket.h"
#include "session.h"
#include "ui/console_backend.h"
#include "ui/console_options.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace tftpc_controls;

namespace {

struct request {
    bool get = false, put = false, ascii = false;
    std::vector<std::string> names; // host and the files, in the order given
    int timeout = 0, port = 0;
    const char* log = nullptr;
};

int fail(const char* format, const char* value) {
    std::fprintf(stderr, "pellcl: ");
    std::fprintf(stderr, format, value);
    std::fprintf(stderr, " Try 'pellcl --help'.\n");
    return 2;
}

// Fills r from the arguments; the exit status to leave with, or -1 to go on.
int parse(int argc, char** argv, request* r) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            command_line_usage(argv[0]);
            return 0;
        } else if (arg == "--get") {
            r->get = true;
        } else if (arg == "--put") {
            r->put = true;
        } else if (arg == "--ascii") {
            r->ascii = true;
        } else if (arg == "--timeout") {
            if (!value ||
                !parse_whole_number(value, timeout_min_seconds, timeout_max_seconds, &r->timeout))
                return fail("--timeout needs a number of seconds from 2 to 120, not '%s'.",
                            value ? value : "");
            ++i;
        } else if (arg == "--port") {
            if (!value || !parse_whole_number(value, 1, 65535, &r->port))
                return fail("--port needs a port number from 1 to 65535, not '%s'.",
                            value ? value : "");
            ++i;
        } else if (arg == "--log") {
            if (!value) return fail("%s needs a file name.", "--log");
            r->log = argv[++i];
        } else if (arg.rfind("--", 0) == 0) {
            return fail("unknown option '%s'.", arg.c_str());
        } else {
            r->names.push_back(arg);
        }
    }
    if (r->get == r->put) return fail("%s", "name one direction: --get or --put.");
    if (r->names.size() < 2 || r->names.size() > 3)
        return fail("%s", r->get ? "--get needs HOST REMOTE [LOCAL]."
                                 : "--put needs HOST LOCAL [REMOTE].");
    return -1;
}

std::string base_name(const std::string& path) {
    size_t slash = path.rfind('/');
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
    ui_set_checked(IDC_LOG_TRACES, r.log != nullptr);
    ui_set_text(IDC_TRACE_FILE, r.log ? r.log : "");
    client_port_override = r.port;
    summary_pause_ms = 0;
}

} // namespace

void command_line_usage(const char* program) {
    std::printf("Usage: %s --get HOST REMOTE [LOCAL] [options]\n"
                "       %s --put HOST LOCAL [REMOTE] [options]\n"
                "\n"
                "PelloryTFTP client v1.0.1: a TFTP client (RFC 1350, UDP, IPv4).\n"
                "Without arguments it opens its window; with --get or --put it runs one transfer\n"
                "from the console and exits 0 only when the transfer completed.\n"
                "\n"
                "  HOST             the server, a name or an address; HOST:PORT names its port\n"
                "  REMOTE           the file's name on the server (--put: default LOCAL's name)\n"
                "  LOCAL            the file on this machine (--get: default REMOTE's name in\n"
                "                   the current folder)\n"
                "  --ascii          netascii mode, for text (default: octet, for anything)\n"
                "  --timeout S      packet timeout in seconds, 2 to 120 (default: 120)\n"
                "  --port N         the server's port instead of the tftp port (69)\n"
                "  --log FILE       append a timestamped trace of every step to FILE\n"
                "  --help           show this help\n"
                "\n"
                "Examples:\n"
                "  %s --get 192.168.1.20 firmware.bin\n"
                "  %s --put router.lab:6969 config.txt startup-config --timeout 5\n",
                program, program, program, program);
}

int command_line_main(int argc, char** argv) {
    ui_console_install(IDC_STATUS);
    role_install(&client_role);
    request r;
    int status = parse(argc, argv, &r);
    if (status >= 0) return status;

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
    switch (last_transfer_end.load()) {
    case END_COMPLETED:
        return 0;
    case END_TIMED_OUT:
        std::fprintf(stderr, "The file transfer timed out.\n");
        return 1;
    case END_REFUSED:
        if (!last_server_error_text().empty())
            std::fprintf(stderr, "The server said: %s\n", last_server_error_text().c_str());
        return 1;
    case END_STOPPED:
        std::fprintf(stderr, "File transfer aborted by user.\n");
        return 1;
    default: // the reason has been shown already
        return 1;
    }
}
