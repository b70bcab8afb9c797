#include "settings_store.h"

#include "server/settings.h"

#include "platform/registry.h"

void store_settings(const std::string& key,
                    std::initializer_list<std::pair<const char*, std::string>> values) {
    registry_key* stored = registry_create_key(key);
    for (const auto& [name, text] : values)
        registry_set_string(stored, name, text);
    registry_close_key(stored);
}

std::string stored_setting(const std::string& key, const char* name) {
    registry_key* stored = registry_open_key(key);
    if (!stored) return "<no key>";
    std::string text;
    bool found = registry_query_string(stored, name, &text, 255);
    registry_close_key(stored);
    return found ? text : "<none>";
}

void serve_settings(const std::function<void(server_settings&)>& edit) {
    server_settings value = *settings_now();
    edit(value);
    settings_serve(value);
    server_setting_table().show(value);
}
