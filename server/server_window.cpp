#include "server_window.h"

#include "access_dialog.h"
#include "choosers.h"
#include "diag/report.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "platform/privileges.h"
#include "platform/registry.h"
#include "roots.h"
#include "server_controls.h"
#include "server_run.h"
#include "settings.h"
#include "ui/ui.h"

#include <string>

using namespace tftps_controls;

namespace {

void show_state(server_state state) {
    const bool listening = state == server_state::listening;
    ui_set_text(IDC_STATUS_ICON, listening ? ICON_ENABLED : ICON_DISABLED);
    ui_set_text(IDC_STATUS_SENTENCE, listening ? "The Trivial FTP server is currently enabled."
                                               : "The Trivial FTP server is currently disabled.");
    // A server that is starting may be disabled before it listens.
    ui_set_text(IDC_ENABLE,
                state == server_state::disabled ? "&Enable server" : "Disable s&erver");
}

// A control the user changed: its setting serves from the next request, and a switch says what
// it means on the status line.
void setting_changed(int id) {
    server_settings value = *settings_now();
    const server_row* row = server_setting_table().take(id, &value);
    if (!row) return;
    settings_serve(value);
    if (row->control_kind != setting_control::check_box) return;
    const bool on = value.*row->number == 1;
    if (on && row->enables[0]) ui_focus(row->enables[0]);
    status_text(on ? row->on_text : row->off_text);
    // The log opens and closes with its box.
    if (id == IDC_TRACE) server_log_follow(value);
}

// A chooser's choice shows in its field and serves as if the user had typed it.
void chosen(int field, const std::string& text, const std::string& said) {
    ui_set_text(field, text);
    setting_changed(field);
    status_text(said);
}

void choose(int chooser) {
    std::string choice, program;
    switch (chooser) {
    case IDC_DOWNLOAD_ROOT_CHOOSER:
    case IDC_UPLOAD_ROOT_CHOOSER:
        if (choose_root_folder(&choice))
            chosen(chooser == IDC_UPLOAD_ROOT_CHOOSER ? IDC_UPLOAD_ROOT : IDC_DOWNLOAD_ROOT, choice,
                   "Root directory selected.");
        return;
    case IDC_COMMAND_CHOOSER:
        if (choose_command(&choice, &program))
            chosen(IDC_COMMAND, choice, "Will launch " + program + ".");
        return;
    default:
        if (!choose_trace_file(&choice)) return;
        server_settings value = *settings_now();
        value.TracePath = choice;
        settings_serve(value);
        // An open log is not reopened: the new path serves from the next time tracing starts.
        status_text("Trace data will be in " + choice + ".");
    }
}

void save_options() {
    // What the controls show is saved, a number that is none of its range excepted.
    server_settings value = *settings_now();
    server_setting_table().take_all(&value);
    settings_serve(value);
    if (!settings_save(value, ServerEnabled == 1))
        return report_error("The options could not be saved to %s.",
                            registry_location(server_settings_key).c_str());
    ui_message_box("The current options have been saved.", "Saved options", ui_icon::information,
                   ui_buttons::ok);
    trace_line("TFTP server settings have been saved.");
    status_text("Options have been saved.");
}

// Read over value; with nothing stored yet, the advice to choose settings of one's own.
void read_stored(server_settings* value) {
    if (!settings_read(value))
        ui_message_box("The TFTP server has reverted to factory settings.\nIt is recommended that "
                       "you modify them for your needs.\nNo settings are stored in " +
                           registry_location(server_settings_key) + " yet; saving them creates it.",
                       "Configuration advice", ui_icon::information, ui_buttons::ok);
}

void reset_options() {
    if (ui_message_box("Are you sure you want to revert to the saved options?", "Reset options",
                       ui_icon::question, ui_buttons::yes_no) != ui_answer::yes)
        return;
    // What the store holds comes back; what it lacks stays as it is.
    server_settings value = *settings_now();
    read_stored(&value);
    settings_serve(value);
    server_setting_table().show(value);
    status_text("Options have been reset.");
    trace_line("TFTP server settings have been reset.");
}

} // namespace

void server_window_open() {
    server_state_shown(show_state);
    // The factory values show while a box about the stored ones waits for its answer.
    server_settings value = settings_factory();
    server_setting_table().fill_lists();
    server_setting_table().show(value);
    read_stored(&value);
    settings_serve(value);
    server_setting_table().show(value);
    // The window keeps the user's desktop session, so it never changes users: it says how not to
    // need root instead.
    if (running_as_root())
        status_text("Running as root. To serve port 69 without it, give the program "
                    "CAP_NET_BIND_SERVICE (sudo setcap cap_net_bind_service=+ep /usr/sbin/pellsd) "
                    "or choose a port from 1024 up, and open the window as yourself.");
    if (value.ServerEnabled == 1) server_enable();
}

void server_command(int id) {
    switch (id) {
    case IDC_TRACE_CHOOSER:
    case IDC_DOWNLOAD_ROOT_CHOOSER:
    case IDC_UPLOAD_ROOT_CHOOSER:
    case IDC_COMMAND_CHOOSER:
        return choose(id);
    case IDC_ACCESS_LISTS:
        return access_dialog_run();
    case IDC_ACCESS_OK:
    case IDC_ACCESS_CANCEL:
        return access_dialog_command(id);
    case IDC_ENABLE:
        return ServerEnabled == 1 ? server_disable() : server_enable();
    case IDC_SAVE:
        return save_options();
    case IDC_RESET:
        return reset_options();
    case IDC_CLOSE:
        return server_window_close();
    default:
        // A number is taken as the user types whenever it is one of its range; Enable says
        // otherwise.
        return setting_changed(id);
    }
}

void server_enable() {
    // What the fields hold is the settings, whether or not they can serve.
    server_settings value = *settings_now();
    std::string refusal = server_setting_table().take_all(&value);
    settings_serve(value);
    roots_prepare(value);
    if (refusal.empty()) refusal = server_settings_check(value);
    if (!refusal.empty()) return report_error(refusal.c_str());
    server_start(value);
}

void server_window_close() {
    server_close();
    ui_close();
}
