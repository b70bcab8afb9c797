#include "access_dialog.h"

#include "access_lists.h"
#include "server_controls.h"
#include "settings.h"
#include "ui/ui.h"

using namespace tftps_controls;

namespace {
constexpr size_t list_text_limit = 259;
} // namespace

void access_dialog_run() {
    const auto settings = settings_now();
    ui_set_text(IDC_INDIVIDUAL_CLIENTS, settings->ServiceIPC);
    ui_set_text(IDC_CLIENT_RANGES, settings->ServiceIPR);
    ui_set_text(IDC_CLIENT_MASKS, settings->ServiceIPW);
    ui_focus(IDC_INDIVIDUAL_CLIENTS);
    ui_run_dialog(IDD_ACCESS_LISTS);
}

void access_dialog_command(int id) {
    if (id == IDC_ACCESS_CANCEL) {
        ui_end_dialog(IDD_ACCESS_LISTS);
        return;
    }
    if (id != IDC_ACCESS_OK) return;
    std::string clients = ui_get_text(IDC_INDIVIDUAL_CLIENTS, list_text_limit);
    std::string ranges = ui_get_text(IDC_CLIENT_RANGES, list_text_limit);
    std::string masks = ui_get_text(IDC_CLIENT_MASKS, list_text_limit);
    if (!access_lists_check(clients, ranges, masks)) return; // each fault has been shown
    server_settings value = *settings_now();
    value.ServiceIPC = clients;
    value.ServiceIPR = ranges;
    value.ServiceIPW = masks;
    settings_serve(value);
    access_lists_resolve();
    ui_end_dialog(IDD_ACCESS_LISTS);
}
