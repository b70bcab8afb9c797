#include "headless.h"

#include "access_lists.h"
#include "daemon.h"
#include "diag/role.h"
#include "diag/trace.h"
#include "platform/signals.h"
#include "platform/socket.h"
#include "server_controls.h"
#include "server_role.h"
#include "server_window.h"
#include "settings.h"
#include "ui/console_backend.h"
#include "ui/console_options.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

using namespace tftps_controls;

namespace {

struct options {
    int port = 0;
    const char* root = nullptr;
    const char* upload_root = nullptr;
    const char* download_root = nullptr;
    const char* clients = nullptr;
    const char* ranges = nullptr;
    const char* masks = nullptr;
    const char* run = nullptr;
    bool allow_upload = false, allow_download = false, no_overwrite = false, save = false;
    int timeout = 0;
    const char* log = nullptr;
};

struct text_option {
    const char* options::*field;
    const char* what;
};

const std::map<std::string, text_option> text_options = {
    {"--root", {&options::root, "a folder"}},
    {"--upload-root", {&options::upload_root, "a folder"}},
    {"--download-root", {&options::download_root, "a folder"}},
    {"--log", {&options::log, "a file name"}},
    {"--clients", {&options::clients, "a list of hosts"}},
    {"--client-ranges", {&options::ranges, "a list of address ranges"}},
    {"--client-masks", {&options::masks, "a list of address masks"}},
    {"--run", {&options::run, "a command"}},
};

// Fills o from the arguments; the exit status to leave with, or -1 to go on serving.
int parse(int argc, char** argv, options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needs_value = [&](const char* what) {
            if (value) return true;
            std::fprintf(stderr, "pellsd: %s needs %s.\n", arg.c_str(), what);
            return false;
        };
        if (arg == "--headless") continue;
        if (arg == "--help" || arg == "-h") {
            headless_usage(argv[0]);
            return 0;
        }
        if (arg == "--allow-upload") {
            o->allow_upload = true;
        } else if (arg == "--allow-download") {
            o->allow_download = true;
        } else if (arg == "--no-overwrite") {
            o->no_overwrite = true;
        } else if (arg == "--save") {
            o->save = true;
        } else if (arg == "--port") {
            if (!needs_value("a port number")) return 2;
            if (!parse_whole_number(value, 1, 65535, &o->port)) {
                std::fprintf(stderr, "pellsd: '%s' is not a port number (1 to 65535).\n", value);
                return 2;
            }
            ++i;
        } else if (arg == "--timeout") {
            if (!needs_value("a number of seconds")) return 2;
            if (!parse_whole_number(value, timeout_min_seconds, timeout_max_seconds, &o->timeout)) {
                std::fprintf(stderr, "pellsd: the timeout must be %d to %d seconds, not '%s'.\n",
                             timeout_min_seconds, timeout_max_seconds, value);
                return 2;
            }
            ++i;
        } else if (text_options.count(arg)) {
            if (!needs_value(text_options.at(arg).what)) return 2;
            o->*text_options.at(arg).field = argv[++i];
        } else {
            std::fprintf(stderr, "pellsd: unknown option '%s'. Try 'pellsd --help'.\n",
                         arg.c_str());
            return 2;
        }
    }
    if ((o->clients || o->ranges || o->masks) &&
        !access_lists_check(o->clients ? o->clients : "", o->ranges ? o->ranges : "",
                            o->masks ? o->masks : ""))
        return 2;
    return -1;
}

// The options override the settings in memory; the window's controls then show them.
void apply(const options& o) {
    if (o.root || o.upload_root) RestrictUploadPath.set(o.upload_root ? o.upload_root : o.root);
    if (o.root || o.download_root)
        RestrictDownloadPath.set(o.download_root ? o.download_root : o.root);
    if (o.clients || o.ranges || o.masks) {
        ServiceIP = 1;
        ServiceIPC.set(o.clients ? o.clients : "");
        ServiceIPR.set(o.ranges ? o.ranges : "");
        ServiceIPW.set(o.masks ? o.masks : "");
    }
    if (o.run) {
        RunExternal = 1;
        RunExternalExe.set(o.run);
    }
    if (o.allow_upload) AllowUpload = 1;
    if (o.allow_download) AllowDownload = 1;
    if (o.no_overwrite) AllowOverwrite = 1;
    if (o.log) {
        TracePath.set(o.log);
        trace_enabled = 1;
    }
    if (o.port) listen_port_override = o.port;
    settings_show();
    if (o.timeout) timeout_list_select(IDC_TIMEOUT, o.timeout);
}

} // namespace

void headless_usage(const char* program) {
    std::printf(
        "Usage: %s [--headless [options]]\n"
        "\n"
        "PelloryTFTP server v1.0.1: a TFTP server (RFC 1350, UDP, IPv4).\n"
        "Without arguments it opens its window; with --headless it serves from the console\n"
        "until interrupted (Ctrl-C or SIGTERM).\n"
        "\n"
        "Headless options (they change the stored settings for this run only, unless\n"
        "--save is given):\n"
        "  --port N               listen on UDP port N instead of the tftp port (69)\n"
        "  --root DIR             serve downloads from and take uploads into DIR\n"
        "                         (default: the current folder)\n"
        "  --upload-root DIR      take uploads into DIR\n"
        "  --download-root DIR    serve downloads from DIR\n"
        "  --allow-download       let clients download files (default: refused)\n"
        "  --allow-upload         let clients upload files (default: refused)\n"
        "  --no-overwrite         refuse uploads that would replace an existing file\n"
        "  --clients LIST         serve only these hosts (names or addresses, separated\n"
        "                         by commas or blanks), and\n"
        "  --client-ranges LIST   the addresses in these ranges (10.0.0.1-10.0.0.9,\n"
        "                         separated by commas), and\n"
        "  --client-masks LIST    the addresses these masks match (10.0.20.*);\n"
        "                         any of the three lists turns the restriction on\n"
        "  --run CMD              after every completed upload run CMD, each ? in it\n"
        "                         replaced by the uploaded file's path; no shell is\n"
        "                         involved, double quotes keep blanks in one argument\n"
        "  --timeout S            packet timeout in seconds, 2 to 120 (default: 120)\n"
        "  --log FILE             append a timestamped trace of every step to FILE\n"
        "  --save                 store the settings, options included, once the server\n"
        "                         is enabled; the window and later runs start from them\n"
        "  --help                 show this help\n"
        "\n"
        "Example: %s --headless --port 6969 --root /srv/tftp --allow-download\n"
        "         then: tftp 127.0.0.1 6969 -m binary -c get FILE\n",
        program, program);
}

int headless_main(int argc, char** argv) {
    ui_console_install(IDC_STATUS);
    role_install(&server_role);
    options o;
    int status = parse(argc, argv, &o);
    if (status >= 0) return status;

    // Taken by the main thread alone, synchronously, so that no worker is interrupted.
    signals_hold_termination();
    // The stored settings, then the options; the server is enabled once, whatever was stored.
    settings_defaults();
    apply(o);
    server_enable();
    if (o.save && ServerEnabled == 1) settings_save();
    // Refused before any daemon started: nothing to close.
    if (ServerEnabled != 1 && !daemon_running) return 1;

    // Woken by a signal or by the server's disabling, never by a clock.
    int signals = signals_termination_fd();
    int exit_status = 0;
    for (;;) {
        if (wait_readable(signals, server_disabled_event(), -1) && signals_take(signals)) break;
        if (ServerEnabled != 1) { // an abort disabled the server: nothing is served any more
            exit_status = 1;
            break;
        }
    }
    server_window_close();
    std::fflush(stdout);
    std::fflush(stderr);
    // Workers that have not ended yet must not see the statics destroyed under them.
    std::quick_exit(exit_status);
}
