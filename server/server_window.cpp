#include "server_window.h"

#include "daemon.h"
#include "diag/progress.h"
#include "diag/report.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/thread.h"
#include "server_controls.h"
#include "settings.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <string>

namespace {

// A root field is read again at Enable, cut to this many characters.
constexpr size_t root_field_limit = 127;
// How long the window waits for a daemon that a stop has not ended yet.
constexpr int daemon_end_wait_ms = 2000;

void wait_for_daemon_end() {
    for (int waited = 0; daemon_running && waited < daemon_end_wait_ms; waited += 10) sleep_ms(10);
}

// Reads a root field again into its setting; false (after telling the user) when it is unusable.
bool root_ready(int field, shared_text& setting, const char* missing, const char* absent) {
    std::string path = ui_get_text(field, root_field_limit);
    setting.set(path);
    if (path.empty()) {
        report_error(missing);
        return false;
    }
    if (!path_exists(path)) {
        report_error(absent, path.c_str());
        return false;
    }
    return true;
}

void show_state(bool enabled) {
    ui_set_text(IDC_STATUS_ICON, enabled ? ICON_ENABLED : ICON_DISABLED);
    ui_set_text(IDC_STATUS_SENTENCE, enabled ? "The Trivial FTP server is currently enabled."
                                             : "The Trivial FTP server is currently disabled.");
    ui_set_text(IDC_ENABLE, enabled ? "Disable s&erver" : "&Enable server");
}

} // namespace

void server_window_open() { settings_defaults(); }

void server_enable() {
    if (!trace_open(ui_is_checked(IDC_TRACE), TracePath.get())) {
        report_error("Failed to open the log file.");
        return;
    }
    if (RestrictUpload == 1 &&
        !root_ready(IDC_UPLOAD_ROOT, RestrictUploadPath, "Please provide an upload root path.",
                    "Upload root '%s' does not exist."))
        return;
    if (RestrictDownload == 1 &&
        !root_ready(IDC_DOWNLOAD_ROOT, RestrictDownloadPath,
                    "Please provide an download root path.", "Download root '%s' does not exist."))
        return;
    if (RunExternal == 1) {
        RunExternalExe.set(ui_get_text(IDC_COMMAND, root_field_limit));
        if (RunExternalExe.get().empty()) {
            report_error("Please provide a command to run after each uploaded file.");
            return;
        }
    }
    packet_timeout = timeout_list_seconds(IDC_TIMEOUT);

    show_state(true);
    // A daemon that a quick Disable has stopped must have let go of the port first.
    wait_for_daemon_end();
    ServerEnabled = 1;
    stop_flag = 0;
    trace_line("PelloryTFTP server v1.0.1 commencing...");
    trace_line("%s", winsock_line().c_str());
    os_version_line();
    status_text("TFTP server is enabled.");
    // Started before the window thread lowers its priority, so that it runs at normal priority.
    daemon_running = 1;
    thread_start(TFTPStartDaemon);
    thread_priority_below_normal();
}

void server_disable() {
    if (ServerEnabled == 0) return;
    show_state(false);
    ServerEnabled = 0;
    stop_flag = 1;
    status_file_delete();
    trace_line("TFTP server is disabled.");
    status_final("TFTP server is disabled.");
    thread_priority_normal();
}

void server_window_close() {
    server_disable();
    trace_line("PelloryTFTP server exiting...");
    // The daemon closes its own sockets and local file when it sees the stop.
    wait_for_daemon_end();
    trace_drop_log();
    status_file_delete();
    status_text("Thank you for using the PelloryTFTP server.");
    sleep_ms(500);
    ui_close();
}
