#include "settings.h"

#include "diag/trace.h"
#include "platform/folders.h"
#include "server_controls.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <string>

std::atomic<int> ServerEnabled{0};
std::atomic<int> AllowUpload{0};
std::atomic<int> AllowDownload{0};
std::atomic<int> AllowOverwrite{0};
std::atomic<int> RestrictUpload{1};
std::atomic<int> RestrictDownload{1};
std::atomic<int> ServiceIP{0};
std::atomic<int> RunExternal{0};
shared_text TracePath;
shared_text RestrictUploadPath;
shared_text RestrictDownloadPath;
shared_text ServiceIPC;
shared_text ServiceIPR;
shared_text ServiceIPW;
shared_text RunExternalExe;

void settings_defaults() {
    ServerEnabled = AllowUpload = AllowDownload = AllowOverwrite = trace_enabled = ServiceIP = 0;
    RestrictUpload = RestrictDownload = 1;
    TracePath.set("");
    ServiceIPC.set("");
    ServiceIPR.set("");
    ServiceIPW.set("");

    ui_set_checked(IDC_RESTRICT_UPLOAD, true);
    ui_set_checked(IDC_RESTRICT_DOWNLOAD, true);
    for (int id : {IDC_UPLOAD_ROOT, IDC_DOWNLOAD_ROOT, IDC_UPLOAD_ROOT_CHOOSER,
                   IDC_DOWNLOAD_ROOT_CHOOSER})
        ui_enable(id, true);

    std::string here = current_folder().substr(0, setting_text_limit + 1);
    RestrictUploadPath.set(here);
    RestrictDownloadPath.set(here);
    ui_set_text(IDC_UPLOAD_ROOT, here);
    ui_set_text(IDC_DOWNLOAD_ROOT, here);

    timeout_list_fill(IDC_TIMEOUT);
}

void settings_show() {
    ui_set_checked(IDC_ALLOW_UPLOAD, AllowUpload == 1);
    ui_set_checked(IDC_ALLOW_DOWNLOAD, AllowDownload == 1);
    ui_set_checked(IDC_NO_OVERWRITE, AllowOverwrite == 1);
    ui_set_checked(IDC_TRACE, trace_enabled == 1);
    ui_set_checked(IDC_RESTRICT_UPLOAD, RestrictUpload == 1);
    ui_set_checked(IDC_RESTRICT_DOWNLOAD, RestrictDownload == 1);
    ui_set_checked(IDC_SERVICE_ONLY, ServiceIP == 1);
    ui_set_checked(IDC_RUN_EXTERNAL, RunExternal == 1);

    ui_set_text(IDC_UPLOAD_ROOT, RestrictUploadPath.get());
    ui_set_text(IDC_DOWNLOAD_ROOT, RestrictDownloadPath.get());
    ui_set_text(IDC_COMMAND, RunExternalExe.get());

    ui_enable(IDC_TRACE_CHOOSER, trace_enabled == 1);
    ui_enable(IDC_UPLOAD_ROOT, RestrictUpload == 1);
    ui_enable(IDC_UPLOAD_ROOT_CHOOSER, RestrictUpload == 1);
    ui_enable(IDC_DOWNLOAD_ROOT, RestrictDownload == 1);
    ui_enable(IDC_DOWNLOAD_ROOT_CHOOSER, RestrictDownload == 1);
    ui_enable(IDC_ACCESS_LISTS, ServiceIP == 1);
    ui_enable(IDC_COMMAND, RunExternal == 1);
    ui_enable(IDC_COMMAND_CHOOSER, RunExternal == 1);
}
