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
#include "server_run.h"
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

const command_program pellsd = {"pellsd", "PelloryTFTP server", headless_usage};

int fail(const std::string& message) { return command_line_refused(pellsd, message); }

// The stored settings with the options over them, as every start and reload reads them.
server_settings settings_with_options(const command_line& line) {
    server_settings value = settings_factory();
    settings_read(&value);
    server_setting_table().apply(line, &value);
    return value;
}

// One line whenever a direction may reach the whole disk.
void warn_unconfined(const server_settings& value) {
    if (const char* which = roots_unconfined(value))
        std::fprintf(stderr,
                     "pellsd: warning: %s are not confined to a folder: clients may name any "
                     "file this user can reach.\n",
                     which);
}

// Started as root, the server goes on as its user once bound, unless told to stay root. False
// (after saying why) when that cannot work.
bool run_as_planned(const server_settings& value) {
    if (!running_as_root()) return true;
    const std::string user = run_as_user(value);
    if (user == "root") return true;
    if (port_range_privileged(value)) {
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
    if (settings_save(*settings_now(), true)) return true;
    std::fprintf(stderr, "pellsd: the settings could not be saved to %s.\n",
                 registry_location(server_settings_key).c_str());
    return false;
}

// SIGHUP: the stored settings read again with the options over them, as at the start. The next
// request is judged by them; running transfers go on as they began. Where the server listens
// changes only with a restart.
void reload(const command_line& line) {
    const auto before = settings_now();
    const server_settings value = settings_with_options(line);
    server_reload(value);
    warn_unconfined(value);
    if (listening_differs(value, *before))
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
        "Without options it opens its window; with --headless, or any option of those below, it\n"
        "serves from the console until interrupted (%s).\n%s\n"
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
        command_line(server_setting_table().options()).options_help().c_str(), system_usage, program,
        example_root, example_client);
}

int headless_main(int argc, char** argv) {
    ui_console_install(IDC_STATUS);
    role_install(&server_role);
    command_line line(server_setting_table().options());
    if (int status = line.parse_or_answer(argc, argv, pellsd); status >= 0) return status;
    if (!line.words().empty()) return fail("unexpected argument '" + line.words().front() + "'.");
    // Every option is judged before anything is read or started.
    server_settings judged;
    if (std::string refusal = server_setting_table().apply(line, &judged); !refusal.empty())
        return fail(refusal);
    if ((line.is_set("clients") || line.is_set("client-ranges") || line.is_set("client-masks")) &&
        !access_lists_check(judged))
        return 2;

    // One line for each transfer, its row of the list; the totals of those running redrawn in
    // place on a terminal, and left out of a journal, which gets what changed.
    static const role_profile listed = [] {
        role_profile p = server_role;
        p.texts.progress_kind_1 = p.texts.progress_kind_2 = nullptr;
        p.ends_in_rows = true;
        return p;
    }();
    role_install(&listed);
    board_rows_printed = 1;
    board_totals_control = is_terminal(stdout) ? static_cast<int>(IDC_TOTALS) : 0;
    ui_console_meter(IDC_TOTALS, 0);
    // Taken by the main thread alone, synchronously, so that no worker is interrupted.
    signals_hold_termination();
    // The stored settings, then the options; the server is enabled once, whatever was stored.
    const server_settings value = settings_with_options(line);
    warn_unconfined(value);
    if (!run_as_planned(value)) return 1;
    roots_prepare(value);
    if (std::string refusal = server_settings_check(value); !refusal.empty()) {
        report_error(refusal.c_str());
        return 1;
    }
    // Stored once the options are checked and before the server becomes its user, who may not
    // write where root keeps them.
    if (!server_start(value, line.is_set("save") ? save_before_serving : nullptr)) return 1;

    // Woken by a signal or by the server's disabling, never by a clock.
    int signals = signals_termination_fd();
    int exit_status = 0;
    for (;;) {
        if (wait_readable(signals, server_disabled_event(), -1)) {
            int signal = signals_take(signals);
            if (signal == SIGNAL_RELOAD) {
                reload(line);
                continue;
            }
            if (signal == SIGNAL_STOP) break;
        }
        if (ServerEnabled != 1) { // an abort disabled the server: nothing is served any more
            exit_status = 1;
            break;
        }
    }
    server_close();
    std::fflush(stdout);
    std::fflush(stderr);
    // Workers that have not ended yet must not see the statics destroyed under them.
    process_end_now(exit_status);
}
