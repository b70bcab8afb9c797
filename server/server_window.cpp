#include "server_window.h"

#include "access_dialog.h"
#include "access_lists.h"
#include "choosers.h"
#include "command_runner.h"
#include "daemon.h"
#include "diag/progress.h"
#include "diag/report.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "engine/options.h"
#include "engine/packet.h"
#include "listeners.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/privileges.h"
#include "platform/registry.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "roots.h"
#include "server_controls.h"
#include "settings.h"
#include "transfer_ports.h"
#include "ui/number_field.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <atomic>
#include <string>
#include <vector>

using namespace tftps_controls;

namespace {

// A root field is read again at Enable, cut to this many characters.
constexpr size_t root_field_limit = 127;
// How long the close waits for a daemon that a stop has not ended yet.
constexpr int daemon_end_wait_ms = 2000;

// Reads a root field again into its setting; false (after telling the user) when it is unusable.
// direction names it: "Upload" or "Download".
bool root_ready(int field, shared_text& setting, const std::string& direction,
                const char* missing) {
    std::string path = ui_get_text(field, root_field_limit);
    setting.set(path);
    if (path.empty()) {
        report_error(missing);
        return false;
    }
    if (!path_exists(path)) {
        report_error((direction + " root '%s' does not exist.").c_str(), path.c_str());
        return false;
    }
    if (!path_is_folder(path)) {
        report_error((direction + " root '%s' is not a folder.").c_str(), path.c_str());
        return false;
    }
    return true;
}

// The limits' fields: the largest block and window the server agrees to, and how many transfers
// it runs at once.
struct limit_field {
    int id;
    std::atomic<int>* setting;
    int low, high;
    const char* refusal;
};

const limit_field limit_fields[] = {
    {IDC_MAX_BLOCK_SIZE, &MaxBlockSize, blksize_min, blksize_max,
     "The largest block size must be a number from 8 to 65464."},
    {IDC_MAX_WINDOW_SIZE, &MaxWindowSize, 1, window_size_limit,
     "The largest window size must be a number from 1 to 512."},
    {IDC_MAX_TRANSFERS, &MaxTransfers, 1, max_transfers_limit,
     "The simultaneous transfers must be a number from 1 to 1024."},
    {IDC_MAX_PER_CLIENT, &MaxPerClient, 1, max_transfers_limit,
     "The transfers per client must be a number from 1 to 1024."},
    {IDC_PORT, &ListenPort, 1, 65535, "The port must be a number from 1 to 65535."},
    {IDC_MAX_COMMANDS, &MaxCommands, 1, max_commands_limit,
     "The commands at once must be a number from 1 to 256."},
};

// Reads a limit's field into its setting at Enable; false (after telling the user) when it is no
// number of its range.
bool limit_field_read(int id) {
    for (const limit_field& f : limit_fields)
        if (f.id == id && !number_field_read(f.id, f.low, f.high, f.setting)) {
            report_error(f.refusal);
            return false;
        }
    return true;
}

// Reads where to listen and the transfers' ports; false (after telling the user) when either
// cannot be used.
bool network_fields_read() {
    ListenAddresses.set(ui_get_text(IDC_LISTEN_ADDRESSES, setting_text_limit));
    PortRange.set(ui_get_text(IDC_PORT_RANGE, setting_text_limit));
    listen_family_read();
    std::vector<net_endpoint> addresses;
    std::string bad;
    if (!listen_addresses_parse(ListenAddresses.get(), tftp_well_known_port, &addresses, &bad)) {
        report_error("'%s' is not an address to listen on.", bad.c_str());
        return false;
    }
    int low = 0, high = 0;
    if (!port_range_parse(PortRange.get(), &low, &high)) {
        report_error("The transfer ports must be a range such as 50000:50099.");
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

void server_window_open() {
    settings_defaults();
    // The window keeps the user's desktop session, so it never changes users: it says how not to
    // need root instead.
    if (running_as_root())
        status_text("Running as root. To serve port 69 without it, give the program "
                    "CAP_NET_BIND_SERVICE (sudo setcap cap_net_bind_service=+ep /usr/bin/pellsd) "
                    "or choose a port from 1024 up, and open the window as yourself.");
    if (stored_server_enabled == 1) server_enable();
}

namespace {

// A check box that switches a setting, with the controls it enables and its two status lines.
struct option_box {
    int id;
    std::atomic<int>* setting;
    std::vector<int> enables; // the first gets the focus when the box is checked
    const char* on_text;
    const char* off_text;
};

const std::vector<option_box>& option_boxes() {
    static const std::vector<option_box> boxes = {
        {IDC_ALLOW_UPLOAD,
         &AllowUpload,
         {},
         "Clients will be able to upload files.",
         "Clients will not be able to upload files."},
        {IDC_ALLOW_DOWNLOAD,
         &AllowDownload,
         {},
         "Clients will be able to download files.",
         "Clients will not be able to download files."},
        {IDC_NO_OVERWRITE,
         &AllowOverwrite,
         {},
         "Client uploads will not be able to overwrite existing files.",
         "Client uploads will be able to overwrite existing files."},
        {IDC_RESTRICT_UPLOAD,
         &RestrictUpload,
         {IDC_UPLOAD_ROOT, IDC_UPLOAD_ROOT_CHOOSER},
         "Uploads will be restricted to one folder.",
         "Uploads can be made to any folder."},
        {IDC_RESTRICT_DOWNLOAD,
         &RestrictDownload,
         {IDC_DOWNLOAD_ROOT, IDC_DOWNLOAD_ROOT_CHOOSER},
         "Downloads will be restricted to one folder.",
         "Downloads can be made from any folder."},
        {IDC_SERVICE_ONLY,
         &ServiceIP,
         {IDC_ACCESS_LISTS},
         "Only selected clients will have access.",
         "The server may be accessed by any client."},
        {IDC_RUN_EXTERNAL,
         &RunExternal,
         {IDC_COMMAND, IDC_COMMAND_CHOOSER, IDC_MAX_COMMANDS},
         "An external program will run after uploads.",
         "No external progam will be launched."},
        {IDC_EXTENSIONS,
         &Extensions,
         {IDC_MAX_BLOCK_SIZE, IDC_MAX_WINDOW_SIZE},
         "Clients may ask for larger blocks, windows and files over 32 MiB.",
         "Only plain TFTP will be spoken."},
    };
    return boxes;
}

void option_box_clicked(const option_box& box) {
    bool on = ui_is_checked(box.id);
    *box.setting = on ? 1 : 0;
    for (int id : box.enables)
        ui_enable(id, on);
    if (on && !box.enables.empty()) ui_focus(box.enables.front());
    status_text(on ? box.on_text : box.off_text);
}

void trace_box_clicked() {
    if (ui_is_checked(IDC_TRACE)) {
        trace_open(true, TracePath.get());
        ui_enable(IDC_TRACE_CHOOSER, true);
        ui_focus(IDC_TRACE_CHOOSER);
        status_text("Tracing has been enabled.");
    } else {
        trace_close();
        ui_enable(IDC_TRACE_CHOOSER, false);
        status_text("Tracing has been disabled.");
    }
}

void save_options() {
    if (!settings_save())
        return report_error("The options could not be saved to %s.",
                            registry_location(server_settings_key).c_str());
    ui_message_box("The current options have been saved.", "Saved options", ui_icon::information,
                   ui_buttons::ok);
    trace_line("TFTP server settings have been saved.");
    status_text("Options have been saved.");
}

void reset_options() {
    if (ui_message_box("Are you sure you want to revert to the saved options?", "Reset options",
                       ui_icon::question, ui_buttons::yes_no) != ui_answer::yes)
        return;
    settings_load();
    status_text("Options have been reset.");
    trace_line("TFTP server settings have been reset.");
}

} // namespace

void server_command(int id) {
    for (const option_box& box : option_boxes())
        if (box.id == id) return option_box_clicked(box);
    switch (id) {
    case IDC_TRACE:
        return trace_box_clicked();
    case IDC_UPLOAD_ROOT:
        return RestrictUploadPath.set(ui_get_text(id, setting_text_limit));
    case IDC_DOWNLOAD_ROOT:
        return RestrictDownloadPath.set(ui_get_text(id, setting_text_limit));
    case IDC_COMMAND:
        return RunExternalExe.set(ui_get_text(id, setting_text_limit));
    case IDC_LISTEN_ADDRESSES:
        return ListenAddresses.set(ui_get_text(id, setting_text_limit));
    case IDC_PORT_RANGE:
        return PortRange.set(ui_get_text(id, setting_text_limit));
    case IDC_UMASK:
        return FileMask.set(ui_get_text(id, 4));
    case IDC_MAX_BLOCK_SIZE:
    case IDC_MAX_WINDOW_SIZE:
    case IDC_MAX_TRANSFERS:
    case IDC_MAX_PER_CLIENT:
    case IDC_MAX_COMMANDS:
    case IDC_PORT:
        // Taken as the user types whenever it is a number of its range; Enable says otherwise.
        for (const limit_field& f : limit_fields)
            if (f.id == id) number_field_read(f.id, f.low, f.high, f.setting);
        return;
    case IDC_TRACE_CHOOSER:
        return choose_trace_file();
    case IDC_DOWNLOAD_ROOT_CHOOSER:
        return choose_root_folder(IDC_DOWNLOAD_ROOT);
    case IDC_UPLOAD_ROOT_CHOOSER:
        return choose_root_folder(IDC_UPLOAD_ROOT);
    case IDC_ACCESS_LISTS:
        return access_dialog_run();
    case IDC_ACCESS_OK:
    case IDC_ACCESS_CANCEL:
        return access_dialog_command(id);
    case IDC_COMMAND_CHOOSER:
        return choose_command();
    case IDC_ENABLE:
        return ServerEnabled == 1 ? server_disable() : server_enable();
    case IDC_SAVE:
        return save_options();
    case IDC_RESET:
        return reset_options();
    case IDC_CLOSE:
        return server_window_close();
    default:
        return;
    }
}

void server_enable(bool (*before_serving)()) {
    if (!trace_open(ui_is_checked(IDC_TRACE), TracePath.get())) {
        report_error("Failed to open the log file.");
        return;
    }
    // Only the roots of the directions allowed are used, and so checked.
    if (RestrictUpload == 1 && AllowUpload == 1 &&
        !root_ready(IDC_UPLOAD_ROOT, RestrictUploadPath, "Upload",
                    "Please provide an upload root path."))
        return;
    if (RestrictDownload == 1 && AllowDownload == 1 &&
        !root_ready(IDC_DOWNLOAD_ROOT, RestrictDownloadPath, "Download",
                    "Please provide an download root path."))
        return;
    if (RunExternal == 1) {
        RunExternalExe.set(ui_get_text(IDC_COMMAND, root_field_limit));
        if (RunExternalExe.get().empty()) {
            report_error("Please provide a command to run after each uploaded file.");
            return;
        }
        if (!limit_field_read(IDC_MAX_COMMANDS)) return;
    }
    if (Extensions == 1 &&
        !(limit_field_read(IDC_MAX_BLOCK_SIZE) && limit_field_read(IDC_MAX_WINDOW_SIZE)))
        return;
    if (!(limit_field_read(IDC_MAX_TRANSFERS) && limit_field_read(IDC_MAX_PER_CLIENT) &&
          limit_field_read(IDC_PORT)))
        return;
    if (!network_fields_read()) return;
    FileMask.set(ui_get_text(IDC_UMASK, 4));
    if (!FileMask.get().empty() && file_mask_parse(FileMask.get()) < 0) {
        report_error("The permissions mask must be octal, such as 022.");
        return;
    }
    if (before_serving && !before_serving()) return;
    file_mask_apply();
    packet_timeout = timeout_list_seconds(IDC_TIMEOUT);
    access_lists_resolve();

    show_state(true);
    ServerEnabled = 1;
    stop_clear();
    event_clear(server_disabled_event());
    trace_line("PelloryTFTP server v1.0.1 commencing...");
    trace_line("%s", winsock_line().c_str());
    os_version_line();
    status_text("TFTP server is enabled.");
    // Started before the window thread lowers its priority, so that it runs at normal priority;
    // a daemon that a quick Disable has stopped is waited for by the new one, not by the window.
    if (int error = daemon_start(); error != 0) {
        report_error("The server could not start its thread: %s.", error_text(error).c_str());
        return server_disable();
    }
    thread_priority_below_normal_undoable();
}

int server_disabled_event() {
    static const int event = event_create();
    return event;
}

void server_disable() {
    if (ServerEnabled == 0) return;
    event_set(server_disabled_event());
    show_state(false);
    ServerEnabled = 0;
    stop_raise();
    daemon_stop();
    roots_release();
    status_file_delete();
    trace_line("TFTP server is disabled.");
    status_final("TFTP server is disabled.");
    thread_priority_normal();
}

void server_window_close() {
    server_disable();
    trace_line("PelloryTFTP server exiting...");
    // The daemon closes its own sockets and local file when it sees the stop.
    daemon_wait_end(daemon_end_wait_ms);
    commands_start_waiting();
    trace_drop_log();
    status_file_delete();
    status_text("Thank you for using the PelloryTFTP server.");
    sleep_ms(500);
    ui_close();
}
