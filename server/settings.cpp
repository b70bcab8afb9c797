#include "settings.h"

#include "diag/trace.h"
#include "engine/options.h"
#include "platform/command_line.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "server_controls.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tftps_controls;

std::atomic<int> ServerEnabled{0};
std::atomic<int> AllowUpload{0};
std::atomic<int> AllowDownload{0};
std::atomic<int> AllowOverwrite{0};
std::atomic<int> RestrictUpload{1};
std::atomic<int> RestrictDownload{1};
std::atomic<int> ServiceIP{0};
std::atomic<int> RunExternal{0};
std::atomic<int> Extensions{0};
std::atomic<int> MaxBlockSize{max_block_size_default};
std::atomic<int> MaxWindowSize{max_window_size_default};
std::atomic<int> ListenFamily{0};
shared_text ListenAddresses;
shared_text PortRange;
std::atomic<int> MaxTransfers{1};
std::atomic<int> MaxPerClient{max_per_client_default};
shared_text TracePath;
shared_text RestrictUploadPath;
shared_text RestrictDownloadPath;
shared_text ServiceIPC;
shared_text ServiceIPR;
shared_text ServiceIPW;
shared_text RunExternalExe;
std::atomic<int> stored_server_enabled{0};
std::shared_mutex settings_change;

namespace {

// A stored text takes up to 254 characters (a buffer of 255 bytes with its terminator).
constexpr size_t stored_text_room = 255;

bool is_yes(const std::string& text) {
    return text.size() == 3 && std::tolower(static_cast<unsigned char>(text[0])) == 'y' &&
           std::tolower(static_cast<unsigned char>(text[1])) == 'e' &&
           std::tolower(static_cast<unsigned char>(text[2])) == 's';
}

const char* yes_no(int on) { return on == 1 ? "Yes" : "No"; }

struct stored_switch {
    const char* name;
    std::atomic<int>* value;
    std::vector<std::pair<const char*, shared_text*>> companions;
};

// The switches in the order they are read and written, each with the texts that go with it.
const std::vector<stored_switch>& stored_switches() {
    static const std::vector<stored_switch> switches = {
        {"ServerEnabled", &stored_server_enabled, {}},
        {"AllowUpload", &AllowUpload, {}},
        {"AllowDownload", &AllowDownload, {}},
        {"AllowOverwrite", &AllowOverwrite, {}},
        {"TraceEnabled", &trace_enabled, {{"TracePath", &TracePath}}},
        {"RestrictUpload", &RestrictUpload, {{"RestrictUploadPath", &RestrictUploadPath}}},
        {"RestrictDownload", &RestrictDownload, {{"RestrictDownloadPath", &RestrictDownloadPath}}},
        {"RunExternal", &RunExternal, {{"RunExternalExe", &RunExternalExe}}},
        {"ServiceIP",
         &ServiceIP,
         {{"ServiceIPC", &ServiceIPC}, {"ServiceIPR", &ServiceIPR}, {"ServiceIPW", &ServiceIPW}}},
        {"Extensions", &Extensions, {}},
    };
    return switches;
}

struct stored_number {
    const char* name;
    std::atomic<int>* value;
    int low, high, factory;
};

// The numbers, written after the timeout in this order; one out of its range loads as its
// factory value.
const std::vector<stored_number>& stored_numbers() {
    static const std::vector<stored_number> numbers = {
        {"MaxBlockSize", &MaxBlockSize, blksize_min, blksize_max, max_block_size_default},
        {"MaxWindowSize", &MaxWindowSize, 1, window_size_limit, max_window_size_default},
        {"ListenFamily", &ListenFamily, 0, 6, 0},
        {"MaxTransfers", &MaxTransfers, 1, max_transfers_limit, 1},
        {"MaxPerClient", &MaxPerClient, 1, max_transfers_limit, max_per_client_default},
    };
    return numbers;
}

// The texts of their own, written after the numbers in this order.
const std::vector<std::pair<const char*, shared_text*>>& stored_texts() {
    static const std::vector<std::pair<const char*, shared_text*>> texts = {
        {"ListenAddresses", &ListenAddresses},
        {"PortRange", &PortRange},
    };
    return texts;
}

} // namespace

void settings_defaults() {
    stored_server_enabled = AllowUpload = AllowDownload = AllowOverwrite = trace_enabled =
        ServiceIP = RunExternal = Extensions = 0;
    for (const stored_number& n : stored_numbers())
        *n.value = n.factory;
    for (const auto& [name, text] : stored_texts())
        text->set("");
    RestrictUpload = RestrictDownload = 1;
    TracePath.set("");
    ServiceIPC.set("");
    ServiceIPR.set("");
    ServiceIPW.set("");
    RunExternalExe.set("");

    ui_set_checked(IDC_RESTRICT_UPLOAD, true);
    ui_set_checked(IDC_RESTRICT_DOWNLOAD, true);
    for (int id :
         {IDC_UPLOAD_ROOT, IDC_DOWNLOAD_ROOT, IDC_UPLOAD_ROOT_CHOOSER, IDC_DOWNLOAD_ROOT_CHOOSER})
        ui_enable(id, true);

    std::string here = current_folder().substr(0, setting_text_limit + 1);
    RestrictUploadPath.set(here);
    RestrictDownloadPath.set(here);
    ui_set_text(IDC_UPLOAD_ROOT, here);
    ui_set_text(IDC_DOWNLOAD_ROOT, here);

    timeout_list_fill(IDC_TIMEOUT);
    ui_list_fill(IDC_LISTEN_FAMILY, {"IPv4 and IPv6", "IPv4 only", "IPv6 only"});
    settings_show();
    settings_load();
}

void settings_load() {
    registry_key* key = registry_open_key(server_settings_key);
    if (!key) {
        ui_message_box("The TFTP server has reverted to factory settings.\nIt is recommended that "
                       "you modify them for your needs.",
                       "Configuration advice", ui_icon::information, ui_buttons::ok);
        return;
    }
    std::string text;
    for (const stored_switch& s : stored_switches()) {
        if (!registry_query_string(key, s.name, &text, stored_text_room)) continue;
        *s.value = is_yes(text) ? 1 : 0;
        for (const auto& [name, companion] : s.companions)
            if (registry_query_string(key, name, &text, stored_text_room)) companion->set(text);
    }
    if (registry_query_string(key, "Timeout", &text, stored_text_room))
        timeout_list_select(IDC_TIMEOUT, std::atoi(text.c_str()));
    for (const stored_number& n : stored_numbers()) {
        if (!registry_query_string(key, n.name, &text, stored_text_room)) continue;
        int value = 0;
        *n.value = parse_whole_number(text.c_str(), n.low, n.high, &value) ? value : n.factory;
    }
    for (const auto& [name, stored] : stored_texts())
        if (registry_query_string(key, name, &text, stored_text_room)) stored->set(text);
    registry_close_key(key);
    settings_show();
}

void listen_family_read() {
    int chosen = ui_list_selection(IDC_LISTEN_FAMILY);
    ListenFamily = chosen == 1 ? 4 : chosen == 2 ? 6 : 0;
}

void settings_save() {
    listen_family_read();
    registry_key* key = registry_create_key(server_settings_key);
    for (const stored_switch& s : stored_switches()) {
        // The live state is what is saved, not what the last load found.
        int on = s.value == &stored_server_enabled ? ServerEnabled.load() : s.value->load();
        registry_set_string(key, s.name, yes_no(on));
        if (on == 1)
            for (const auto& [name, companion] : s.companions)
                registry_set_string(key, name, companion->get());
    }
    registry_set_string(key, "Timeout", std::to_string(timeout_list_seconds(IDC_TIMEOUT)));
    for (const stored_number& n : stored_numbers())
        registry_set_string(key, n.name, std::to_string(n.value->load()));
    for (const auto& [name, stored] : stored_texts())
        registry_set_string(key, name, stored->get());
    registry_close_key(key);
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
    ui_set_checked(IDC_EXTENSIONS, Extensions == 1);

    ui_set_text(IDC_UPLOAD_ROOT, RestrictUploadPath.get());
    ui_set_text(IDC_DOWNLOAD_ROOT, RestrictDownloadPath.get());
    ui_set_text(IDC_COMMAND, RunExternalExe.get());
    ui_set_text(IDC_MAX_BLOCK_SIZE, std::to_string(MaxBlockSize.load()));
    ui_set_text(IDC_MAX_WINDOW_SIZE, std::to_string(MaxWindowSize.load()));
    ui_set_text(IDC_MAX_TRANSFERS, std::to_string(MaxTransfers.load()));
    ui_set_text(IDC_MAX_PER_CLIENT, std::to_string(MaxPerClient.load()));
    ui_set_text(IDC_LISTEN_ADDRESSES, ListenAddresses.get());
    ui_set_text(IDC_PORT_RANGE, PortRange.get());
    ui_list_select(IDC_LISTEN_FAMILY, ListenFamily == 4 ? 1 : ListenFamily == 6 ? 2 : 0);

    ui_enable(IDC_TRACE_CHOOSER, trace_enabled == 1);
    ui_enable(IDC_UPLOAD_ROOT, RestrictUpload == 1);
    ui_enable(IDC_UPLOAD_ROOT_CHOOSER, RestrictUpload == 1);
    ui_enable(IDC_DOWNLOAD_ROOT, RestrictDownload == 1);
    ui_enable(IDC_DOWNLOAD_ROOT_CHOOSER, RestrictDownload == 1);
    ui_enable(IDC_ACCESS_LISTS, ServiceIP == 1);
    ui_enable(IDC_COMMAND, RunExternal == 1);
    ui_enable(IDC_COMMAND_CHOOSER, RunExternal == 1);
    ui_enable(IDC_MAX_BLOCK_SIZE, Extensions == 1);
    ui_enable(IDC_MAX_WINDOW_SIZE, Extensions == 1);
}
