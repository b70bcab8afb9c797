#include "settings.h"

#include "platform/files.h"
#include "roots.h"
#include "run_external.h"
#include "platform/registry.h"
#include "ui/ui.h"

#include <mutex>

std::atomic<int> ServerEnabled{0};

namespace {

// The value that serves, replaced whole: a reader holds the one it took for as long as it needs.
struct serving_value {
    std::mutex mutex;
    std::shared_ptr<const server_settings> value = std::make_shared<server_settings>();
};

serving_value& serving() {
    static serving_value* const shared = new serving_value;
    return *shared;
}

} // namespace

int file_mask_parse(const std::string& text) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("01234567") != std::string::npos)
        return -1;
    int mask = std::stoi(text, nullptr, 8);
    return mask <= 0777 ? mask : -1;
}

void file_mask_apply(const server_settings& value) {
    static const int process_own = [] {
        int own = file_mask_set(022);
        file_mask_set(own);
        return own;
    }();
    int mask = file_mask_parse(value.Umask);
    file_mask_set(mask >= 0 ? mask : process_own);
}

server_settings settings_factory() { return server_settings{}; }

bool settings_read(server_settings* value) {
    settings_report report;
    const bool stored = server_setting_table().read(server_settings_key, value, &report);
    report.show();
    return stored;
}

bool settings_save(const server_settings& value, bool enabled) {
    server_settings saved = value;
    // The server's state is what is saved, not what the last load found.
    saved.ServerEnabled = enabled ? 1 : 0;
    return server_setting_table().write(server_settings_key, saved);
}

std::string server_settings_check(const server_settings& v) {
    for (const std::string& refusal : {roots_refusal(v), command_refusal(v), listen_refusal(v),
                                       port_range_refusal(v)})
        if (!refusal.empty()) return refusal;
    if (!v.Umask.empty() && file_mask_parse(v.Umask) < 0)
        return "The permissions mask must be octal, such as 022.";
    return "";
}

std::shared_ptr<const server_settings> settings_now() {
    serving_value& s = serving();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.value;
}

void settings_serve(const server_settings& value) {
    auto next = std::make_shared<const server_settings>(value);
    serving_value& s = serving();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.value = std::move(next);
}
