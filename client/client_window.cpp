#include "client_window.h"

#include "client_controls.h"
#include "client_settings.h"
#include "diag/progress.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "platform/clock.h"
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

void choose(int chosen, int other) {
    ui_set_checked(chosen, true);
    ui_set_checked(other, false);
}

void log_box_clicked() {
    bool on = ui_is_checked(IDC_LOG_TRACES);
    ui_enable(IDC_TRACE_FILE, on);
    ui_enable(IDC_TRACE_FILE_CHOOSER, on);
    if (on) {
        ui_focus(IDC_TRACE_FILE);
        ui_select_all(IDC_TRACE_FILE);
    }
    status_text(on ? "Tracing has been enabled." : "Tracing has been disabled.");
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
    size_t slash = path.find_last_of(path_separators);
    ui_set_text(IDC_REMOTE_FILE, slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

void client_window_open() {
    start_folder = current_folder().substr(0, start_folder_limit);
    ui_set_text(IDC_LOCAL_FILE, start_folder);
    choose(IDC_DOWNLOAD, IDC_UPLOAD);
    choose(IDC_BINARY, IDC_ASCII);
    for (int id : {IDC_TRACE_FILE, IDC_TRACE_FILE_CHOOSER, IDC_STOP})
        ui_enable(id, false);
    timeout_list_fill(IDC_PACKET_TIMEOUT);
    ui_list_fill(IDC_IP_VERSION, ip_version_names());
    ui_list_select(IDC_IP_VERSION, 0);
    ui_set_text(IDC_BLOCK_SIZE, std::to_string(block_size_default));
    ui_set_text(IDC_WINDOW_SIZE, std::to_string(window_size_default));
    client_extensions_show(false);
    client_settings_load();
    ui_focus(IDC_HOST);
}

void client_command(int id) {
    switch (id) {
    case IDC_LOG_TRACES:
        return log_box_clicked();
    case IDC_TRACE_FILE_CHOOSER:
        return choose_trace_file();
    case IDC_UPLOAD:
        choose(IDC_UPLOAD, IDC_DOWNLOAD);
        ui_focus(IDC_LOCAL_FILE);
        ui_select_all(IDC_LOCAL_FILE);
        return status_text("Files will be transferred to the server.");
    case IDC_DOWNLOAD:
        choose(IDC_DOWNLOAD, IDC_UPLOAD);
        ui_focus(IDC_REMOTE_FILE);
        ui_select_all(IDC_REMOTE_FILE);
        return status_text("Files will be transferred from the server.");
    case IDC_LOCAL_FILE_CHOOSER:
        return choose_local_file();
    case IDC_ASCII:
        choose(IDC_ASCII, IDC_BINARY);
        return status_text("Files will be transferred in text mode.");
    case IDC_BINARY:
        choose(IDC_BINARY, IDC_ASCII);
        return status_text("Files will be transferred in binary mode.");
    case IDC_EXTENSIONS: {
        bool on = ui_is_checked(IDC_EXTENSIONS);
        client_extensions_show(on);
        return status_text(on ? "Transfers will ask for larger blocks and windows."
                              : "Transfers will use plain TFTP.");
    }
    case IDC_STOP:
        return client_stop();
    case IDC_START:
        return client_start();
    case IDC_CLOSE:
        client_window_close();
        return;
    default:
        return;
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
    client_settings_save();
    trace_line("PelloryTFTP client exiting...");
    trace_drop_log();
    status_file_delete();
    status_final("Thank you for using the PelloryTFTP client.");
    sleep_ms(500);
    ui_close();
    return true;
}
