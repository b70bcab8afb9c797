#include "platform/registry.h"

#include "text.h"

#include <memory>
#include <windows.h>

// A key of the registry under HKEY_CURRENT_USER, or the section [General] of the file that the
// program was told to keep its settings in instead.
struct registry_key {
    HKEY key = nullptr;
    std::wstring file;
    bool failed = false; // a value written did not reach the store
};

namespace {

const wchar_t* const section = L"General";

std::wstring& chosen_file() {
    static std::wstring file;
    return file;
}

} // namespace

void registry_use_file(const std::string& path) {
    if (path.empty()) return chosen_file().clear();
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(widen(path).c_str(), MAX_PATH, full, nullptr);
    chosen_file() = full;
}

registry_key* registry_open_key(const std::string& path) {
    if (!chosen_file().empty())
        return GetFileAttributesW(chosen_file().c_str()) == INVALID_FILE_ATTRIBUTES
                   ? nullptr
                   : new registry_key{nullptr, chosen_file()};
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, widen(path).c_str(), 0, KEY_READ | KEY_WRITE, &key) !=
        ERROR_SUCCESS)
        return nullptr;
    return new registry_key{key, L""};
}

registry_key* registry_create_key(const std::string& path) {
    if (!chosen_file().empty()) return new registry_key{nullptr, chosen_file()};
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, widen(path).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                    nullptr, &key, nullptr);
    return new registry_key{key, L""};
}

bool registry_query_string(registry_key* key, const std::string& name, std::string* text,
                           size_t room) {
    std::wstring value(32768, L'\0');
    if (!key->file.empty()) {
        // A default no stored value can have tells a missing one.
        DWORD length =
            GetPrivateProfileStringW(section, widen(name).c_str(), L"\x1", value.data(),
                                     static_cast<DWORD>(value.size()), key->file.c_str());
        value.resize(length);
        if (value == L"\x1") return false;
    } else {
        DWORD type = 0, bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (!key->key ||
            RegQueryValueExW(key->key, widen(name).c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS ||
            type != REG_SZ)
            return false;
        value.resize(bytes / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
    }
    *text = narrow(value).substr(0, room - 1);
    return true;
}

void registry_set_string(registry_key* key, const std::string& name, const std::string& text) {
    std::wstring value = widen(text);
    if (!key->file.empty()) {
        if (!WritePrivateProfileStringW(section, widen(name).c_str(), value.c_str(),
                                        key->file.c_str()))
            key->failed = true;
        return;
    }
    if (!key->key ||
        RegSetValueExW(key->key, widen(name).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        key->failed = true;
}

std::vector<std::string> registry_value_names(registry_key* key) {
    std::vector<std::string> names;
    if (!key->file.empty()) {
        std::wstring all(65536, L'\0');
        DWORD length = GetPrivateProfileStringW(section, nullptr, L"", all.data(),
                                                static_cast<DWORD>(all.size()), key->file.c_str());
        for (size_t at = 0; at < length;) {
            std::wstring name(all.c_str() + at);
            if (name.empty()) break;
            names.push_back(narrow(name));
            at += name.size() + 1;
        }
        return names;
    }
    for (DWORD i = 0; key->key; ++i) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (RegEnumValueW(key->key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(narrow(std::wstring(name, length)));
    }
    return names;
}

std::string registry_location(const std::string& path) {
    return chosen_file().empty() ? "HKEY_CURRENT_USER\\" + path : narrow(chosen_file());
}

// The profile calls tell no lines: a file is named, the registry is where the key's path says.
registry_value_place registry_value_line(registry_key* key, const std::string&) {
    return {narrow(key->file), 0, ""};
}

std::vector<registry_value_place> registry_unreadable_lines(registry_key*) { return {}; }

bool registry_close_key(registry_key* key) {
    if (key->key) RegCloseKey(key->key);
    bool written = !key->failed;
    delete key;
    return written;
}
