#include "server_run.h"

#include "access_lists.h"
#include "command_runner.h"
#include "daemon.h"
#include "diag/progress.h"
#include "diag/report.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "remap_rules.h"
#include "request_records.h"
#include "roots.h"
#include "settings.h"

#include <cerrno>
#include <mutex>

namespace {

// How long the close waits for a daemon that a stop has not ended yet.
constexpr int daemon_end_wait_ms = 2000;

std::atomic<void (*)(server_state)> state_shown{nullptr};
// Orders the daemon's "listening" against a Disable, so that a stopped server never shows as
// enabled.
std::mutex state_mutex;

void show_state(server_state state) {
    if (auto shown = state_shown.load()) shown(state);
}

// The records go where the value names; false, after saying why, when that file cannot be opened.
bool records_follow(const server_settings& value) {
    if (records_open(value.RecordsFile)) return true;
    std::string why = "Failed to open the records file '";
    why += value.RecordsFile + "': " + error_text(errno) + ".";
    report_error(why.c_str());
    return false;
}

// The remap rules follow the value's file, read again each time; false, after saying why, when
// they cannot be used (the rules before stay).
bool remap_follow(const server_settings& value) {
    const std::string why = remap_rules_follow(value.RemapFile);
    if (why.empty()) return true;
    report_error(why.c_str());
    return false;
}

} // namespace

void server_state_shown(void (*shown)(server_state state)) { state_shown = shown; }

bool server_start(const server_settings& value, bool (*before_serving)()) {
    if (!trace_open(value.TraceEnabled == 1, value.TracePath)) {
        report_error("Failed to open the log file.");
        return false;
    }
    // Opened while the server may still open anything: before it becomes its user.
    if (!records_follow(value) || !remap_follow(value)) return false;
    settings_serve(value);
    if (before_serving && !before_serving()) return false;
    file_mask_apply(value);
    packet_timeout = value.Timeout;
    access_lists_resolve();

    {
        std::lock_guard<std::mutex> lock(state_mutex);
        ServerEnabled = 1;
        show_state(server_state::starting);
    }
    stop_clear();
    event_clear(server_disabled_event());
    trace_line("PelloryTFTP server v1.0.1 commencing...");
    trace_line("%s", winsock_line().c_str());
    os_version_line();
    // Started before the window thread lowers its priority, so that it runs at normal priority;
    // a daemon that a quick Disable has stopped is waited for by the new one, not by the window.
    if (int error = daemon_start(); error != 0) {
        report_error("The server could not start its thread: %s.", error_text(error).c_str());
        server_disable();
        return false;
    }
    thread_priority_below_normal_undoable();
    return true;
}

void server_log_follow(const server_settings& value) {
    if (value.TraceEnabled == 1)
        trace_open(true, value.TracePath);
    else
        trace_close();
}

void server_reload(const server_settings& value) {
    settings_serve(value);
    remap_follow(value);
    access_lists_resolve();
    roots_release();
    file_mask_apply(value);
    trace_reopen(value.TraceEnabled == 1, value.TracePath);
    // The same file opened anew, for a rotated log; another one as the settings now name it.
    if (value.RecordsFile == records_path_now())
        records_reopen();
    else
        records_follow(value);
}

int server_disabled_event() {
    static const int event = event_create();
    return event;
}

void server_listening() {
    std::lock_guard<std::mutex> lock(state_mutex);
    if (ServerEnabled != 1 || !daemon_run_is_current()) return;
    show_state(server_state::listening);
    status_text("TFTP server is enabled.");
}

void server_disable() {
    {
        std::lock_guard<std::mutex> lock(state_mutex);
        if (ServerEnabled == 0) return;
        ServerEnabled = 0;
        show_state(server_state::disabled);
    }
    event_set(server_disabled_event());
    stop_raise();
    daemon_stop();
    roots_release();
    status_file_delete();
    trace_line("TFTP server is disabled.");
    status_final("TFTP server is disabled.");
    thread_priority_normal();
}

void server_close() {
    server_disable();
    trace_line("PelloryTFTP server exiting...");
    // The daemon closes its own sockets and local file when it sees the stop.
    daemon_wait_end(daemon_end_wait_ms);
    commands_start_waiting();
    trace_drop_log();
    status_file_delete();
    status_text("Thank you for using the PelloryTFTP server.");
    sleep_ms(500);
}
