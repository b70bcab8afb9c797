#include "client_window.h"

#include "client_controls.h"
#include "client_settings.h"
#include "diag/progress.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/socket.h"
#include "session.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <string>

using namespace tftpc_controls;

namespace {

constexpr size_t start_folder_limit = 258;
constexpr size_t chooser_path_limit = 259;
// How long the close waits for a stopped transfer to close its socket and file.
constexpr int transfer_end_wait_ms = 2000;

// Until the user edits the local file, it is the remote file's name in this folder, and follows
// the remote name as it is typed; empty once the user has chosen a local file of their own.
std::string local_folder;

void local_follows_remote() {
    if (local_folder.empty()) return;
    const std::string remote = ui_get_text(IDC_REMOTE_FILE, chooser_path_limit);
    const size_t slash = remote.find_last_of(path_separators);
    ui_set_text(IDC_LOCAL_FILE,
                native_path(local_folder + "/" +
                            (slash == std::string::npos ? remote : remote.substr(slash + 1))));
}

// A box or a choice the user changed: its controls follow, and the status line says what it
// now means. The field a choice or the log's box leads to takes the focus.
void setting_changed(int id) {
    // A field's or a list's value is taken at Start.
    const client_row* row = client_setting_table().row_of_control(id);
    if (!row || (row->control_kind != setting_control::check_box &&
                 row->control_kind != setting_control::choice_pair))
        return;
    client_request scratch;
    client_setting_table().take(id, &scratch);
    const bool first = row->control_kind == setting_control::choice_pair
                           ? id == row->control
                           : scratch.*row->number == 1;
    const int focus = id == IDC_LOG_TRACES && first ? IDC_TRACE_FILE
                      : id == IDC_UPLOAD            ? IDC_LOCAL_FILE
                      : id == IDC_DOWNLOAD          ? IDC_REMOTE_FILE
                                                    : 0;
    if (focus) {
        ui_focus(focus);
        ui_select_all(focus);
    }
    status_text(first ? row->on_text : row->off_text);
}

void choose_trace_file() {
    ui_file_chooser chooser;
    chooser.title = "Write trace information in...";
    chooser.filters = {{"Log files", "*.log"}};
    chooser.initial = ui_get_text(IDC_TRACE_FILE, chooser_path_limit);
    chooser.save = true;
    std::string path;
    if (ui_choose_file(chooser, &path)) ui_set_text(IDC_TRACE_FILE, path);
}

void choose_local_file() {
    ui_file_chooser chooser;
    chooser.filters = {{"All files", "*"}};
    if (ui_is_checked(IDC_UPLOAD)) {
        chooser.title = "Choose file to upload...";
        chooser.initial = ui_get_text(IDC_LOCAL_FILE, chooser_path_limit);
        chooser.must_exist = true;
    } else {
        chooser.title = "Save downloaded file as...";
        chooser.initial = ui_get_text(IDC_REMOTE_FILE, chooser_path_limit);
        chooser.save = true;
        chooser.confirm_overwrite = true;
    }
    std::string path;
    if (!ui_choose_file(chooser, &path)) return;
    ui_set_text(IDC_LOCAL_FILE, path);
    local_folder.clear();
    size_t slash = path.find_last_of(path_separators);
    ui_set_text(IDC_REMOTE_FILE, slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

void client_window_open() {
    start_folder = current_folder().substr(0, start_folder_limit);
    client_request request;
    request.LocalFile = start_folder;
    ui_enable(IDC_STOP, false);
    // The factory values show while a box about the stored ones waits for its answer.
    client_setting_table().fill_lists();
    client_setting_table().show(request);
    client_settings_read(&request);
    client_setting_table().show(request);
    // A folder alone would fail at Start: the remote file's name goes in it.
    local_folder = path_is_folder(request.LocalFile) ? request.LocalFile : "";
    local_follows_remote();
    ui_focus(IDC_HOST);
}

void client_command(int id) {
    switch (id) {
    case IDC_TRACE_FILE_CHOOSER:
        return choose_trace_file();
    case IDC_LOCAL_FILE_CHOOSER:
        return choose_local_file();
    case IDC_STOP:
        return client_stop();
    case IDC_START:
        return client_start();
    case IDC_CLOSE:
        client_window_close();
        return;
    case IDC_REMOTE_FILE:
        return local_follows_remote();
    case IDC_LOCAL_FILE:
        return local_folder.clear();
    default:
        return setting_changed(id);
    }
}

bool client_window_close() {
    if (transfer_active == 1 &&
        ui_message_box("A file transfer is currently in progress. Are you sure you want to exit?",
                       "Exiting...", ui_icon::question, ui_buttons::yes_no) != ui_answer::yes)
        return false;
    if (session_running) {
        // Stopped first, so that its socket and file are closed by the thread that owns them.
        client_stop();
        wait_readable(session_end_event(), -1, transfer_end_wait_ms);
    }
    client_request shown;
    client_setting_table().take_all(&shown);
    client_settings_save(shown);
    trace_line("PelloryTFTP client exiting...");
    trace_drop_log();
    status_file_delete();
    status_final("Thank you for using the PelloryTFTP client.");
    sleep_ms(500);
    ui_close();
    return true;
}
