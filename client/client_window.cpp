#include "client_window.h"

#include "client_controls.h"
#include "platform/folders.h"
#include "session.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <string>

namespace {
constexpr size_t start_folder_limit = 258;
} // namespace

void client_window_open() {
    start_folder = current_folder().substr(0, start_folder_limit);
    ui_set_text(IDC_LOCAL_FILE, start_folder);
    ui_set_checked(IDC_DOWNLOAD, true);
    ui_set_checked(IDC_UPLOAD, false);
    ui_set_checked(IDC_BINARY, true);
    ui_set_checked(IDC_ASCII, false);
    for (int id : {IDC_TRACE_FILE, IDC_TRACE_FILE_CHOOSER, IDC_STOP}) ui_enable(id, false);
    timeout_list_fill(IDC_PACKET_TIMEOUT);
    ui_focus(IDC_HOST);
}
