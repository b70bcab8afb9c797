#include "access_dialog.h"

#include "access_lists.h"
#include "server_controls.h"
#include "settings.h"
#include "ui/ui.h"

using namespace tftps_controls;

void access_dialog_run() {
    ui_set_text(IDC_INDIVIDUAL_CLIENTS, ServiceIPC.get());
    ui_set_text(IDC_CLIENT_RANGES, ServiceIPR.get());
    ui_set_text(IDC_CLIENT_MASKS, ServiceIPW.get());
    ui_focus(IDC_INDIVIDUAL_CLIENTS);
    ui_run_dialog(IDD_ACCESS_LISTS);
}

void access_dialog_command(int id) {
    if (id == IDC_ACCESS_CANCEL) {
        ui_end_dialog(IDD_ACCESS_LISTS);
        return;
    }
    if (id != IDC_ACCESS_OK) return;
    std::string clients = ui_get_text(IDC_INDIVIDUAL_CLIENTS, setting_text_limit);
    std::string ranges = ui_get_text(IDC_CLIENT_RANGES, setting_text_limit);
    std::string masks = ui_get_text(IDC_CLIENT_MASKS, setting_text_limit);
    if (!access_lists_check(clients, ranges, masks)) return; // each fault has been shown
    ServiceIPC.set(clients);
    ServiceIPR.set(ranges);
    ServiceIPW.set(masks);
    access_lists_resolve();
    ui_end_dialog(IDD_ACCESS_LISTS);
}
