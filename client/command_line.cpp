#include "command_line.h"

#include "client_controls.h"
#include "client_role.h"
#include "client_settings.h"
#include "diag/report.h"
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

const command_program pellcl = {"pellcl", "PelloryTFTP client", command_line_usage};
constexpr const char* url_scheme = "tftp://";

int fail(const std::string& message) { return command_line_refused(pellcl, message); }

std::string base_name(const std::string& path) {
    size_t slash = path.find_last_of(path_separators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The request the arguments make, from the factory settings; the exit status to leave with, or
// -1 to go on.
int parse(const command_line& line, client_request* r) {
    if (std::string refusal = client_setting_table().apply(line, r); !refusal.empty())
        return fail(refusal);
    const bool get = line.is_set("get"), put = line.is_set("put");
    if (line.is_set("4") && line.is_set("6")) return fail("name one IP version: -4 or -6.");
    if (get == put) return fail("name one direction: --get or --put.");
    std::vector<std::string> names = line.words();
    // tftp://HOST[:PORT]/FILE names the server and the remote file at once, as curl takes them.
    if (!names.empty() && names[0].rfind(url_scheme, 0) == 0) {
        const std::string url = names[0].substr(std::strlen(url_scheme));
        const size_t slash = url.find('/');
        if (slash == 0 || slash == std::string::npos || slash + 1 == url.size())
            return fail("'" + names[0] + "' must be tftp://HOST[:PORT]/FILE.");
        names[0] = url.substr(0, slash);
        names.insert(get ? names.begin() + 1 : names.end(), url.substr(slash + 1));
    }
    if (names.size() < 2 || names.size() > 3)
        return fail(get ? "--get needs HOST REMOTE [LOCAL]." : "--put needs HOST LOCAL [REMOTE].");
    r->Hostname = names[0];
    r->Action = put ? 0 : 1;
    const std::string third = names.size() > 2 ? names[2] : "";
    if (put && names[1] == standard_stream_name && third.empty())
        return fail("--put - needs the REMOTE name to store standard input as.");
    r->RemoteFile = get ? names[1] : third.empty() ? base_name(names[1]) : third;
    r->LocalFile = get ? third : names[1];
    return -1;
}

// The exit status of the transfer, with the summary of one that completed, or the reason of one
// that failed on standard error: once, whether a box or the status line said it.
int report_end(bool verbose, const std::string& host) {
    // A summary takes the meter's place; a failure leaves it where it stopped.
    if (last_transfer_end != END_COMPLETED) ui_console_end_line();
    switch (last_transfer_end.load()) {
    case END_COMPLETED:
        if (!verbose) ui_console_say(ui_get_text(IDC_STATUS, 200));
        return 0;
    case END_TIMED_OUT:
        std::fprintf(stderr, "The file transfer timed out. No answer from %s.\n", host.c_str());
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
        "       (tftp://HOST[:PORT]/REMOTE in place of HOST and REMOTE, as curl takes it)\n"
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
        "                         in the current folder); - writes standard output\n"
        "                         (--get) or reads standard input (--put REMOTE)\n"
        "%s"
        "\n"
        "Examples:\n"
        "  %s --get 192.168.1.20 firmware.bin\n"
        "  %s --put router.lab:6969 config.txt startup-config --timeout 5\n",
        program, program, PELL_VERSION,
        command_line(client_setting_table().options()).options_help().c_str(),
        program, program);
}

int command_line_main(int argc, char** argv) {
    ui_console_install(IDC_STATUS);
    role_install(&client_role);
    command_line line(client_setting_table().options());
    if (int status = line.parse_or_answer(argc, argv, pellcl); status >= 0) return status;
    client_request request;
    if (int status = parse(line, &request); status >= 0) return status;
    // A download to standard output leaves it to the file's bytes.
    FILE* lines = request.Action == 1 && request.LocalFile == standard_stream_name ? stderr : stdout;
    ui_console_lines_to(lines);
    // On a terminal one line, redrawn in place, counts the bytes instead of a line a second.
    if (is_terminal(lines)) {
        static role_profile metered = [] {
            role_profile p = client_role;
            p.texts.progress_kind_1 = p.texts.progress_kind_2 = nullptr;
            return p;
        }();
        role_install(&metered);
        ui_console_meter(IDC_PROGRESS, IDC_RATE);
    }

    const bool verbose = line.is_set("verbose");
    // The meter, the summary and the failures; the steps between only when asked for.
    ui_console_status_shown(verbose);
    // Taken by the main thread alone: SIGINT presses Stop.
    signals_hold_termination();
    int signals = signals_termination_fd();
    start_folder = current_folder();
    summary_pause_ms = 0;
    if (std::string refusal = client_request_check(&request); !refusal.empty()) {
        report_error(refusal.c_str());
        std::fflush(stderr);
        process_end_now(1);
    }
    client_run(request);
    bool stopped = false;
    while (session_running) {
        // Woken by a signal or by the end of the transfer, never by a clock.
        if (wait_readable(signals, session_end_event(), -1) && signals_take(signals) && !stopped) {
            client_stop();
            stopped = true;
        }
    }
    status_file_delete();
    int exit_status = report_end(verbose, request.Hostname);
    std::fflush(stdout);
    std::fflush(stderr);
    // The progress thread may not have seen the end yet: no static is destroyed under it.
    process_end_now(exit_status);
}
