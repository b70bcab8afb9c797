#include "settings.h"

#include "diag/settings_report.h"
#include "diag/trace.h"
#include "engine/options.h"
#include "engine/packet.h"
#include "platform/command_line.h"
#include "platform/folders.h"
#include "platform/privileges.h"
#include "platform/registry.h"
#include "server_controls.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <algorithm>
#include <cctype>
#include <cstring>
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
std::atomic<int> ListenPort{tftp_well_known_port};
shared_text ListenAddresses;
shared_text PortRange;
std::atomic<int> MaxTransfers{1};
std::atomic<int> MaxPerClient{max_per_client_default};
std::atomic<int> MaxCommands{max_commands_default};
shared_text TracePath;
shared_text RestrictUploadPath;
shared_text RestrictDownloadPath;
shared_text ServiceIPC;
shared_text ServiceIPR;
shared_text ServiceIPW;
shared_text RunExternalExe;
shared_text RunAsUser;
shared_text FileMask;
std::atomic<int> stored_server_enabled{0};
std::shared_mutex settings_change;

namespace {

// A stored text takes up to 254 characters (a buffer of 255 bytes with its terminator).
constexpr size_t stored_text_room = 255;

bool same_word(const std::string& text, const char* word) {
    return text.size() == std::strlen(word) &&
           std::equal(text.begin(), text.end(), word, [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
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
        {"ListenPort", &ListenPort, 1, 65535, tftp_well_known_port},
        {"MaxTransfers", &MaxTransfers, 1, max_transfers_limit, 1},
        {"MaxPerClient", &MaxPerClient, 1, max_transfers_limit, max_per_client_default},
        {"MaxCommands", &MaxCommands, 1, max_commands_limit, max_commands_default},
    };
    return numbers;
}

// The texts of their own, written after the numbers in this order.
const std::vector<std::pair<const char*, shared_text*>>& stored_texts() {
    static const std::vector<std::pair<const char*, shared_text*>> texts = {
        {"ListenAddresses", &ListenAddresses},
        {"PortRange", &PortRange},
        {"User", &RunAsUser},
        {"Umask", &FileMask},
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
                       "you modify them for your needs.\nNo settings are stored in " +
                           registry_location(server_settings_key) + " yet; saving them creates it.",
                       "Configuration advice", ui_icon::information, ui_buttons::ok);
        return;
    }
    settings_report report;
    std::vector<std::string> known = {"Timeout"};
    std::string text;
    for (const stored_switch& s : stored_switches()) {
        known.push_back(s.name);
        for (const auto& [name, companion] : s.companions)
            known.push_back(name);
        if (!registry_query_string(key, s.name, &text, stored_text_room)) continue;
        *s.value = same_word(text, "yes") ? 1 : 0;
        if (!*s.value && !same_word(text, "no")) report.unusable(s.name, text, "Yes or No", "No");
        for (const auto& [name, companion] : s.companions)
            if (registry_query_string(key, name, &text, stored_text_room)) companion->set(text);
    }
    int value = 0;
    if (registry_query_string(key, "Timeout", &text, stored_text_room)) {
        bool usable =
            parse_whole_number(text.c_str(), timeout_min_seconds, timeout_max_seconds, &value);
        timeout_list_select(IDC_TIMEOUT, usable ? value : timeout_max_seconds);
        if (!usable) report.unusable("Timeout", text, "a number of seconds from 2 to 120", "120");
    }
    for (const stored_number& n : stored_numbers()) {
        known.push_back(n.name);
        if (!registry_query_string(key, n.name, &text, stored_text_room)) continue;
        bool usable = parse_whole_number(text.c_str(), n.low, n.high, &value);
        *n.value = usable ? value : n.factory;
        if (!usable)
            report.unusable(n.name, text,
                            "a number from " + std::to_string(n.low) + " to " +
                                std::to_string(n.high),
                            std::to_string(n.factory));
    }
    for (const auto& [name, stored] : stored_texts()) {
        known.push_back(name);
        if (registry_query_string(key, name, &text, stored_text_room)) stored->set(text);
    }
    if (!FileMask.get().empty() && file_mask_parse(FileMask.get()) < 0) {
        report.unusable("Umask", FileMask.get(), "an octal mask such as 022", "the process's own");
        FileMask.set("");
    }
    report.unknown(key, known);
    registry_close_key(key);
    settings_show();
    report.show();
}

int file_mask_parse(const std::string& text) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("01234567") != std::string::npos)
        return -1;
    int mask = std::stoi(text, nullptr, 8);
    return mask <= 0777 ? mask : -1;
}

void file_mask_apply() {
    static const int process_own = [] {
        int own = file_mask_set(022);
        file_mask_set(own);
        return own;
    }();
    int mask = file_mask_parse(FileMask.get());
    file_mask_set(mask >= 0 ? mask : process_own);
}

void listen_family_read() {
    int chosen = ui_list_selection(IDC_LISTEN_FAMILY);
    ListenFamily = chosen == 1 ? 4 : chosen == 2 ? 6 : 0;
}

bool settings_save() {
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
    return registry_close_key(key);
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
    ui_set_text(IDC_MAX_COMMANDS, std::to_string(MaxCommands.load()));
    ui_set_text(IDC_PORT, std::to_string(ListenPort.load()));
    ui_set_text(IDC_LISTEN_ADDRESSES, ListenAddresses.get());
    ui_set_text(IDC_PORT_RANGE, PortRange.get());
    ui_set_text(IDC_UMASK, FileMask.get());
    ui_list_select(IDC_LISTEN_FAMILY, ListenFamily == 4 ? 1 : ListenFamily == 6 ? 2 : 0);

    ui_enable(IDC_TRACE_CHOOSER, trace_enabled == 1);
    ui_enable(IDC_UPLOAD_ROOT, RestrictUpload == 1);
    ui_enable(IDC_UPLOAD_ROOT_CHOOSER, RestrictUpload == 1);
    ui_enable(IDC_DOWNLOAD_ROOT, RestrictDownload == 1);
    ui_enable(IDC_DOWNLOAD_ROOT_CHOOSER, RestrictDownload == 1);
    ui_enable(IDC_ACCESS_LISTS, ServiceIP == 1);
    ui_enable(IDC_COMMAND, RunExternal == 1);
    ui_enable(IDC_COMMAND_CHOOSER, RunExternal == 1);
    ui_enable(IDC_MAX_COMMANDS, RunExternal == 1);
    ui_enable(IDC_MAX_BLOCK_SIZE, Extensions == 1);
    ui_enable(IDC_MAX_WINDOW_SIZE, Extensions == 1);
}
