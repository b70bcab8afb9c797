#include "client_settings.h"

#include "client_controls.h"
#include "settings/settings_report.h"
#include "engine/options.h"
#include "platform/command_line.h"
#include "platform/registry.h"
#include "session.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <algorithm>
#include <cctype>
#include <string>

using namespace tftpc_controls;

namespace {

// A stored text takes up to 254 characters (a buffer of 255 bytes with its terminator).
constexpr size_t stored_text_room = 255;
constexpr size_t field_text_limit = 254;

bool same_word(const std::string& text, const char* word) {
    size_t i = 0;
    for (; word[i] && i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    return !word[i] && i == text.size();
}

// Chooses one of a pair of radio buttons.
void choose(int chosen, int other) {
    ui_set_checked(chosen, true);
    ui_set_checked(other, false);
}

} // namespace

void client_settings_load() {
    registry_key* key = registry_open_key(client_settings_key);
    if (!key) return;
    settings_report report;
    std::string text;
    auto read = [&](const char* name) {
        return registry_query_string(key, name, &text, stored_text_room);
    };
    // One of two words: whether it is the first; anything else is reported and read as second.
    auto word = [&](const char* name, const char* first, const char* second) {
        if (!same_word(text, first) && !same_word(text, second))
            report.unusable(name, text, std::string(first) + " or " + second, second);
        return same_word(text, first);
    };
    if (read("Hostname")) ui_set_text(IDC_HOST, text);
    if (read("Action"))
        word("Action", "Upload", "Download") ? choose(IDC_UPLOAD, IDC_DOWNLOAD)
                                             : choose(IDC_DOWNLOAD, IDC_UPLOAD);
    if (read("RemoteFile")) ui_set_text(IDC_REMOTE_FILE, text);
    if (read("LocalFile")) ui_set_text(IDC_LOCAL_FILE, text);
    if (read("Mode"))
        word("Mode", "Ascii", "Binary") ? choose(IDC_ASCII, IDC_BINARY)
                                        : choose(IDC_BINARY, IDC_ASCII);
    if (read("LogTraces")) {
        bool on = word("LogTraces", "Yes", "No");
        ui_set_checked(IDC_LOG_TRACES, on);
        ui_enable(IDC_TRACE_FILE, on);
        ui_enable(IDC_TRACE_FILE_CHOOSER, on);
    }
    if (read("TraceFile")) ui_set_text(IDC_TRACE_FILE, text);
    // A number out of its range comes back as its default.
    int value = 0;
    auto number = [&](const char* name, int low, int high, int fallback) {
        if (parse_whole_number(text.c_str(), low, high, &value)) return value;
        report.unusable(name, text,
                        "a number from " + std::to_string(low) + " to " + std::to_string(high),
                        std::to_string(fallback));
        return fallback;
    };
    if (read("Timeout"))
        timeout_list_select(IDC_PACKET_TIMEOUT, number("Timeout", timeout_min_seconds,
                                                       timeout_max_seconds, timeout_max_seconds));
    if (read("Extensions")) client_extensions_show(word("Extensions", "Yes", "No"));
    if (read("IPVersion")) {
        const auto& names = ip_version_names();
        auto found = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
            return same_word(text, name.c_str());
        });
        if (found == names.end())
            report.unusable("IPVersion", text, "Any, IPv4 only or IPv6 only", "Any");
        ui_list_select(IDC_IP_VERSION,
                       found == names.end() ? 0 : static_cast<int>(found - names.begin()));
    }
    if (read("BlockSize"))
        ui_set_text(IDC_BLOCK_SIZE, std::to_string(number("BlockSize", blksize_min, blksize_max,
                                                          block_size_default)));
    if (read("WindowSize"))
        ui_set_text(IDC_WINDOW_SIZE, std::to_string(number("WindowSize", 1, window_size_limit,
                                                           window_size_default)));
    report.unknown(key,
                   {"Hostname", "Action", "RemoteFile", "LocalFile", "Mode", "LogTraces",
                    "TraceFile", "Timeout", "Extensions", "IPVersion", "BlockSize", "WindowSize"});
    registry_close_key(key);
    report.show();
}

const std::vector<std::string>& ip_version_names() {
    static const std::vector<std::string> names = {"Any", "IPv4 only", "IPv6 only"};
    return names;
}

void client_extensions_show(bool on) {
    ui_set_checked(IDC_EXTENSIONS, on);
    ui_enable(IDC_BLOCK_SIZE, on);
    ui_enable(IDC_WINDOW_SIZE, on);
}

void client_settings_save() {
    registry_key* key = registry_create_key(client_settings_key);
    registry_set_string(key, "Hostname", ui_get_text(IDC_HOST, field_text_limit));
    registry_set_string(key, "Action", ui_is_checked(IDC_UPLOAD) ? "Upload" : "Download");
    registry_set_string(key, "RemoteFile", ui_get_text(IDC_REMOTE_FILE, field_text_limit));
    registry_set_string(key, "LocalFile", ui_get_text(IDC_LOCAL_FILE, field_text_limit));
    registry_set_string(key, "Mode", ui_is_checked(IDC_ASCII) ? "Ascii" : "Binary");
    registry_set_string(key, "LogTraces", ui_is_checked(IDC_LOG_TRACES) ? "Yes" : "No");
    registry_set_string(key, "TraceFile", ui_get_text(IDC_TRACE_FILE, field_text_limit));
    registry_set_string(key, "Timeout", std::to_string(timeout_list_seconds(IDC_PACKET_TIMEOUT)));
    registry_set_string(key, "Extensions", ui_is_checked(IDC_EXTENSIONS) ? "Yes" : "No");
    registry_set_string(key, "BlockSize", ui_get_text(IDC_BLOCK_SIZE, field_text_limit));
    registry_set_string(key, "WindowSize", ui_get_text(IDC_WINDOW_SIZE, field_text_limit));
    int version = ui_list_selection(IDC_IP_VERSION);
    registry_set_string(key, "IPVersion", ip_version_names()[version > 0 ? version : 0]);
    registry_close_key(key);
}
