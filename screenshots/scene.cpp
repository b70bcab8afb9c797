#include "scene.h"

#include "client/client_controls.h"
#include "client/client_settings.h"
#include "platform/registry.h"
#include "server/daemon.h"
#include "server/listeners.h"
#include "server/server_controls.h"
#include "server/server_run.h"
#include "server/server_window.h"
#include "server/settings.h"
#include "ui/ui.h"

#include <filesystem>
#include <initializer_list>
#include <utility>

namespace {

void store(const char* key, std::initializer_list<std::pair<const char*, std::string>> values) {
    registry_key* k = registry_create_key(key);
    for (const auto& [name, text] : values)
        registry_set_string(k, name, text);
    registry_close_key(k);
}

} // namespace

void scene_store_settings(const std::string& root, const std::string& local_file) {
    std::string uploads = (std::filesystem::path(root) / "incoming").string();
    std::filesystem::create_directories(uploads);
    store(server_settings_key, {{"AllowDownload", "Yes"},
                                {"AllowUpload", "Yes"},
                                {"RestrictUpload", "Yes"},
                                {"RestrictUploadPath", uploads},
                                {"RestrictDownload", "Yes"},
                                {"RestrictDownloadPath", root},
                                {"ServiceIP", "Yes"},
                                {"ServiceIPC", "10.0.0.5, 10.0.8.1"},
                                {"ServiceIPR", "10.0.20.1 - 10.0.25.254"},
                                {"ServiceIPW", "192.168.1.*"},
                                {"Timeout", "5"}});
    store(client_settings_key, {{"Hostname", "192.168.1.20"},
                                {"RemoteFile", "firmware.bin"},
                                {"LocalFile", local_file},
                                {"Timeout", "5"}});
}

void scene_server_serving() {
    listen_port_override = 16969;
    server_enable();
    ui_list_fill(tftps_controls::IDC_RECENT_TRANSFERS,
                 {"09:41:07\t10.0.20.31\tphone-31.cfg\tdownload\t18432\t0.1\trunning, 62%",
                  "09:41:06\t10.0.20.30\tphone-30.cfg\tdownload\t29696\t0.2\tcompleted",
                  "09:40:52\t10.0.0.5\tstartup-config\tupload\t4127\t0.1\tcompleted",
                  "09:40:13\t192.168.1.77\tboot.img\tdownload\t0\t0.0\trefused: File not found."});
    ui_set_text(tftps_controls::IDC_BUSY_ANSWERS, "2 requests answered busy");
    // As the picture's port field says: the scene itself listens elsewhere, not to need root.
    ui_set_text(tftps_controls::IDC_STATUS, "Listening on 0.0.0.0:69, [::]:69.");
}

void scene_access_lists() {
    const auto settings = settings_now();
    ui_set_text(tftps_controls::IDC_INDIVIDUAL_CLIENTS, settings->ServiceIPC);
    ui_set_text(tftps_controls::IDC_CLIENT_RANGES, settings->ServiceIPR);
    ui_set_text(tftps_controls::IDC_CLIENT_MASKS, settings->ServiceIPW);
}

void scene_server_stopped() { server_disable(); }

void scene_client_finished() {
    ui_set_progress(tftpc_controls::IDC_PROGRESS, 1000);
    ui_set_text(tftpc_controls::IDC_PROGRESS, "1,048,576 of 1,048,576 bytes, 100%");
    ui_set_text(tftpc_controls::IDC_RATE, "3.4 MB/s");
    ui_set_text(tftpc_controls::IDC_STATUS, "1048576 bytes received in 0.3 seconds.");
}
