#include "headless.h"

#include "access_lists.h"
#include "daemon.h"
#include "diag/report.h"
#include "diag/role.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "engine/options.h"
#include "engine/packet.h"
#include "listeners.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/privileges.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/signals.h"
#include "platform/socket.h"
#include "roots.h"
#include "run_as.h"
#include "server_controls.h"
#include "server_role.h"
#include "server_window.h"
#include "service_command.h"
#include "settings.h"
#include "transfer_board.h"
#include "transfer_ports.h"
#include "ui/console_backend.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tftps_controls;

namespace {

const std::vector<command_option>& headless_options() {
    static const std::vector<command_option> options = [] {
        std::vector<command_option> all = {
            {"headless", "serve from the console, without the window", "", ""},
            {"port", "listen on UDP port N instead of the tftp port (69)", "N", "a port number"},
            {"address",
             "listen only on these addresses (commas between them;\nADDR:PORT and [IPv6]:PORT give "
             "one a port of its own);\nan address the machine does not have yet is waited for",
             "LIST", "a list of addresses"},
            {"ipv4", "listen on IPv4 only (default: IPv4 and IPv6)", "", ""},
            {"ipv6", "listen on IPv6 only", "", ""},
            {"port-range",
             "serve each transfer from a port of LOW:HIGH, for a\nfirewall in front of the server "
             "(default: any port)",
             "LOW:HIGH", "a range of ports such as 50000:50099"},
            {"root",
             "serve downloads from and take uploads into DIR, names\nconfined below it (default: "
             "the "
             "current folder)",
             "DIR", "a folder"},
            {"upload-root", "take uploads into DIR, confined below it", "DIR", "a folder"},
            {"download-root", "serve downloads from DIR, confined below it", "DIR", "a folder"},
            {"no-root-restriction",
             "let absolute names reach any file this user can\n(a warning says so at start)", "",
             ""},
            {"allow-download", "let clients download files (default: refused)", "", ""},
            {"allow-upload", "let clients upload files (default: refused)", "", ""},
            {"no-overwrite", "refuse uploads that would replace an existing file", "", ""},
            {"clients",
             "serve only these hosts (names or addresses, separated\nby commas or blanks), and",
             "LIST", "a list of hosts"},
            {"client-ranges",
             "the addresses in these ranges (10.0.0.1-10.0.0.9,\nseparated by commas), and", "LIST",
             "a list of address ranges"},
            {"client-masks",
             "the addresses these masks match (10.0.20.*);\nany of the three lists turns the "
             "restriction on",
             "LIST", "a list of address masks"},
            {"run",
             "after every completed upload run CMD, each ? in it\nreplaced by the uploaded file's "
             "path; "
             "no shell is\ninvolved, double quotes keep blanks in one argument",
             "CMD", "a command"},
            {"max-commands",
             "run at most N of those commands at once, 1 to 256\n(default: 4); further ones wait "
             "their turn",
             "N", "a number of commands from 1 to 256"},
            {"timeout", "packet timeout in seconds, 2 to 120 (default: 120)", "S",
             "a number of seconds"},
            {"extensions",
             "negotiate the TFTP extensions that clients ask for:\nlarger blocks, windows, the "
             "transfer size, files over\n32 MiB (block numbers roll over)",
             "", ""},
            {"max-blksize", "the largest block the server agrees to, 8 to 65464\n(default: 65464)",
             "N", "a block size from 8 to 65464"},
            {"max-windowsize", "the largest window the server agrees to, 1 to 512\n(default: 64)",
             "N", "a window size from 1 to 512"},
            {"max-transfers",
             "run up to N transfers at once, 1 to 1024 (default: 1,\nevery further request is "
             "answered busy)",
             "N", "a number of transfers from 1 to 1024"},
            {"max-per-client", "at most N of them for one client address (default: 8)", "N",
             "a number of transfers from 1 to 1024"},
            {"log", "append a timestamped trace of every step to FILE", "FILE", "a file name"},
            {"save",
             "store the settings, options included, once the server\nis enabled; the window and "
             "later runs start from them",
             "", ""},
        };
        // Who owns a new file, and with what permissions, only where the system has such things.
        const std::vector<command_option> ownership = {
            {"user",
             "started as root, go on as USER once the ports are bound\n(default: pellsd where that "
             "user "
             "exists, else nobody;\nroot stays root); uploads, the --run command and a\nreload run "
             "as "
             "USER, who must be able to read the\nsettings and the roots and write the upload root",
             "USER", "a user name"},
            {"umask",
             "take new files' permissions through MASK (octal,\n022: nobody else may write them; "
             "default: the\nprocess's own)",
             "MASK", "an octal mask such as 022"},
        };
        if (users_own_files) all.insert(all.end() - 1, ownership.begin(), ownership.end());
        return all;
    }();
    return options;
}

struct options {
    int port = 0, timeout = 0, max_blksize = 0, max_windowsize = 0, max_transfers = 0,
        max_per_client = 0, max_commands = 0, family = -1;
    std::string root, upload_root, download_root, clients, ranges, masks, run, log, addresses,
        port_range, user, umask;
    bool lists = false, allow_upload = false, allow_download = false, no_overwrite = false,
         no_root_restriction = false, save = false, extensions = false;
};

const command_program pellsd = {"pellsd", "PelloryTFTP server", headless_usage};

int fail(const std::string& message) { return command_line_refused(pellsd, message); }

// Fills o from the arguments; the exit status to leave with, or -1 to go on serving.
int parse(int argc, char** argv, options* o) {
    command_line line(headless_options());
    if (int status = line.parse_or_answer(argc, argv, pellsd); status >= 0) return status;
    if (!line.words().empty()) return fail("unexpected argument '" + line.words().front() + "'.");
    if (line.is_set("port") && !parse_whole_number(line.value("port").c_str(), 1, 65535, &o->port))
        return fail(line.value("port").insert(0, 1, '\'') + "' is not a port number (1 to 65535).");
    if (line.is_set("timeout") &&
        !parse_whole_number(line.value("timeout").c_str(), timeout_min_seconds, timeout_max_seconds,
                            &o->timeout))
        return fail("the timeout must be " + std::to_string(timeout_min_seconds) + " to " +
                    std::to_string(timeout_max_seconds) + " seconds, not '" +
                    line.value("timeout") + "'.");
    if (!(line.number("max-blksize", blksize_min, blksize_max, &o->max_blksize) &&
          line.number("max-windowsize", 1, window_size_limit, &o->max_windowsize) &&
          line.number("max-transfers", 1, max_transfers_limit, &o->max_transfers) &&
          line.number("max-per-client", 1, max_transfers_limit, &o->max_per_client) &&
          line.number("max-commands", 1, max_commands_limit, &o->max_commands)))
        return fail(line.error());
    o->extensions = line.is_set("extensions");
    if (line.is_set("ipv4") || line.is_set("ipv6"))
        o->family = line.is_set("ipv4") && line.is_set("ipv6") ? 0 : line.is_set("ipv4") ? 4 : 6;
    std::vector<net_endpoint> addresses;
    std::string bad;
    if (!listen_addresses_parse(line.value("address"), tftp_well_known_port, &addresses, &bad))
        return fail("'" + bad + "' is not an address to listen on.");
    int low = 0, high = 0;
    if (!port_range_parse(line.value("port-range"), &low, &high))
        return fail("--port-range needs a range of ports such as 50000:50099, not '" +
                    line.value("port-range") + "'.");
    for (auto [name, field] : {std::pair{"root", &options::root},
                               {"upload-root", &options::upload_root},
                               {"download-root", &options::download_root},
                               {"clients", &options::clients},
                               {"client-ranges", &options::ranges},
                               {"client-masks", &options::masks},
                               {"run", &options::run},
                               {"log", &options::log},
                               {"address", &options::addresses},
                               {"port-range", &options::port_range},
                               {"user", &options::user},
                               {"umask", &options::umask}})
        o->*field = line.value(name);
    o->lists =
        line.is_set("clients") || line.is_set("client-ranges") || line.is_set("client-masks");
    o->allow_upload = line.is_set("allow-upload");
    o->allow_download = line.is_set("allow-download");
    o->no_overwrite = line.is_set("no-overwrite");
    o->no_root_restriction = line.is_set("no-root-restriction");
    o->save = line.is_set("save");
    if (o->lists && !access_lists_check(o->clients, o->ranges, o->masks, false)) return 2;
    if (line.is_set("umask") && file_mask_parse(o->umask) < 0)
        return fail("--umask needs an octal mask such as 022, not '" + o->umask + "'.");
    return -1;
}

// The options override the settings in memory; the window's controls then show them. A root
// given here also confines its direction, whatever the stored settings say.
void apply(const options& o) {
    const std::string& upload_root = o.upload_root.empty() ? o.root : o.upload_root;
    const std::string& download_root = o.download_root.empty() ? o.root : o.download_root;
    if (!upload_root.empty()) {
        RestrictUploadPath.set(upload_root);
        RestrictUpload = 1;
    }
    if (!download_root.empty()) {
        RestrictDownloadPath.set(download_root);
        RestrictDownload = 1;
    }
    if (o.no_root_restriction) RestrictUpload = RestrictDownload = 0;
    if (o.lists) {
        ServiceIP = 1;
        ServiceIPC.set(o.clients);
        ServiceIPR.set(o.ranges);
        ServiceIPW.set(o.masks);
    }
    if (!o.run.empty()) {
        RunExternal = 1;
        RunExternalExe.set(o.run);
    }
    if (o.allow_upload) AllowUpload = 1;
    if (o.allow_download) AllowDownload = 1;
    if (o.no_overwrite) AllowOverwrite = 1;
    if (o.extensions) Extensions = 1;
    if (o.max_blksize) MaxBlockSize = o.max_blksize;
    if (o.max_windowsize) MaxWindowSize = o.max_windowsize;
    if (o.max_transfers) MaxTransfers = o.max_transfers;
    if (o.max_per_client) MaxPerClient = o.max_per_client;
    if (o.max_commands) MaxCommands = o.max_commands;
    if (o.family >= 0) ListenFamily = o.family;
    if (!o.addresses.empty()) ListenAddresses.set(o.addresses);
    if (!o.port_range.empty()) PortRange.set(o.port_range);
    if (!o.user.empty()) RunAsUser.set(o.user);
    if (!o.umask.empty()) FileMask.set(o.umask);
    if (!o.log.empty()) {
        TracePath.set(o.log);
        trace_enabled = 1;
    }
    if (o.port) ListenPort = o.port;
    settings_show();
    if (o.timeout) timeout_list_select(IDC_TIMEOUT, o.timeout);
}

// One line whenever a direction may reach the whole disk.
void warn_unconfined() {
    const char* which = RestrictUpload != 1 && RestrictDownload != 1 ? "Uploads and downloads"
                        : RestrictUpload != 1                        ? "Uploads"
                        : RestrictDownload != 1                      ? "Downloads"
                                                                     : nullptr;
    if (which)
        std::fprintf(stderr,
                     "pellsd: warning: %s are not confined to a folder: clients may name any "
                     "file this user can reach.\n",
                     which);
}

// Started as root, the server goes on as its user once bound, unless told to stay root. False
// (after saying why) when that cannot work.
bool run_as_planned() {
    if (!running_as_root()) return true;
    const std::string user = run_as_user();
    if (user == "root") return true;
    int low = 0, high = 0;
    port_range_parse(PortRange.get(), &low, &high);
    if (low > 0 && low < 1024) {
        std::fprintf(stderr, "pellsd: transfer ports below 1024 need root for every transfer; "
                             "choose a range from 1024 up, or --user root.\n");
        return false;
    }
    if (!user_exists(user)) {
        std::fprintf(stderr, "pellsd: there is no user '%s' to serve as; name one with --user.\n",
                     user.c_str());
        return false;
    }
    std::string refusal;
    if (!privileges_prepare_drop(&refusal)) {
        std::fprintf(stderr, "pellsd: cannot prepare to serve as '%s': %s.\n", user.c_str(),
                     refusal.c_str());
        return false;
    }
    run_as_after_binding(user);
    return true;
}

bool save_before_serving() {
    if (settings_save()) return true;
    std::fprintf(stderr, "pellsd: the settings could not be saved to %s.\n",
                 registry_location(server_settings_key).c_str());
    return false;
}

// SIGHUP: the stored settings read again with the options over them, as at the start. The next
// request is judged by them; running transfers go on as they began. Where the server listens
// changes only with a restart.
void reload(const options& o) {
    const std::string addresses = ListenAddresses.get();
    const int family = ListenFamily, port = ListenPort;
    {
        std::unique_lock<std::shared_mutex> settling(settings_change);
        settings_defaults();
        apply(o);
        packet_timeout = timeout_list_seconds(IDC_TIMEOUT);
    }
    access_lists_resolve();
    roots_release();
    file_mask_apply();
    trace_reopen(trace_enabled == 1, TracePath.get());
    warn_unconfined();
    if (ListenAddresses.get() != addresses || ListenFamily != family || ListenPort != port)
        std::fprintf(stderr,
                     "pellsd: warning: the addresses, families and port the server "
                     "listens on change only when it starts again%s.\n",
                     running_as_root() ? "" : " (as root, for a port below 1024)");
    status_text("The settings have been read again.");
}

// The example at the end of --help, in the system's own terms.
#ifdef _WIN32
const char* const example_root = "C:\\TFTP";
const char* const system_usage = service_usage;
const char* const example_client = "pellcl --get 127.0.0.1:6969 FILE";
#else
const char* const example_root = "/srv/tftp";
const char* const example_client = "tftp 127.0.0.1 6969 -m binary -c get FILE";
const char* const system_usage = "";
#endif

} // namespace

void headless_usage(const char* program) {
    std::printf(
        "Usage: %s [--config FILE] [--headless [options]]\n"
        "\n"
        "PelloryTFTP server v%s: a TFTP server (RFC 1350, UDP, IPv4 and IPv6).\n"
        "Without --headless it opens its window; with it, it serves from the console until\n"
        "interrupted (%s).\n%s\n"
        "\n"
        "Headless options (they change the stored settings for this run only, unless\n"
        "--save is given):\n"
        "%s"
        "\n"
        "%s"
        "Example: %s --headless --port 6969 --root %s --allow-download\n"
        "         then: %s\n",
        program, PELL_VERSION, signals_stop_text,
        signals_can_reload ? "SIGHUP reads the stored settings again."
                           : "The stored settings are read again at the next start.",
        command_line(headless_options()).options_help().c_str(), system_usage, program,
        example_root, example_client);
}

int headless_main(int argc, char** argv) {
    ui_console_install(IDC_STATUS);
    role_install(&server_role);
    options o;
    int status = parse(argc, argv, &o);
    if (status >= 0) return status;

    board_rows_printed = 1;
    // A service's journal gets what changed, not a count once a second.
    if (!stdout_is_terminal()) {
        static const role_profile journal = [] {
            role_profile p = server_role;
            p.texts.progress_kind_1 = p.texts.progress_kind_2 = nullptr;
            return p;
        }();
        role_install(&journal);
        board_totals_shown = 0;
    }
    // Taken by the main thread alone, synchronously, so that no worker is interrupted.
    signals_hold_termination();
    // The stored settings, then the options; the server is enabled once, whatever was stored.
    settings_defaults();
    apply(o);
    warn_unconfined();
    if (!run_as_planned()) return 1;
    // Stored once the options are checked and before the server becomes its user, who may not
    // write where root keeps them.
    server_enable(o.save ? save_before_serving : nullptr);
    // Refused before any daemon started: nothing to close.
    if (ServerEnabled != 1 && !daemon_running) return 1;

    // Woken by a signal or by the server's disabling, never by a clock.
    int signals = signals_termination_fd();
    int exit_status = 0;
    for (;;) {
        if (wait_readable(signals, server_disabled_event(), -1)) {
            int signal = signals_take(signals);
            if (signal == SIGNAL_RELOAD) {
                reload(o);
                continue;
            }
            if (signal == SIGNAL_STOP) break;
        }
        if (ServerEnabled != 1) { // an abort disabled the server: nothing is served any more
            exit_status = 1;
            break;
        }
    }
    server_window_close();
    std::fflush(stdout);
    std::fflush(stderr);
    // Workers that have not ended yet must not see the statics destroyed under them.
    process_end_now(exit_status);
}
