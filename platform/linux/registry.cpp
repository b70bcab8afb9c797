#include "platform/registry.h"

#include "platform/folders.h"
#include "platform/ini_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <unistd.h>
#include <vector>

struct registry_key {
    std::string path; // the file
    ini_file file;
    bool changed = false;
    int read_error = 0; // why a file that is there could not be read
};

namespace {

// The one file that holds every key, when the program was given one.
std::string& chosen_file() {
    static std::string file;
    return file;
}

// "SOFTWARE\Vendor\Product" is the file "Product.ini" in the user's folder "Vendor" under
// $XDG_CONFIG_HOME (default ~/.config), where the programs have always kept it.
std::string file_for(const std::string& path) {
    if (!chosen_file().empty()) return chosen_file();
    std::vector<std::string> parts{""};
    for (const char c : path)
        if (c == '\\')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    const std::string vendor = parts.size() > 1 ? parts[parts.size() - 2] : "";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string folder = config && *config ? config : home_folder() + "/.config";
    return folder + "/" + vendor + "/" + parts.back() + ".ini";
}

} // namespace

void registry_use_file(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        chosen_file() = path;
        return;
    }
    char here[PATH_MAX] = {};
    chosen_file() = std::string(getcwd(here, sizeof here) ? here : ".") + "/" + path;
}

registry_key* registry_open_key(const std::string& path) {
    const std::string file = file_for(path);
    if (access(file.c_str(), F_OK) != 0) return nullptr;
    return registry_create_key(path);
}

registry_key* registry_create_key(const std::string& path) {
    auto* key = new registry_key{file_for(path), ini_file(), false, 0};
    // What cannot be read is written anew: the values set are what the caller wants kept.
    if (!ini_file_read(key->path, &key->file)) key->read_error = errno;
    return key;
}

bool registry_query_string(registry_key* key, const std::string& name, std::string* text,
                           size_t room) {
    std::string value;
    if (!key->file.get(name, &value)) return false;
    *text = value.substr(0, room - 1);
    return true;
}

void registry_set_string(registry_key* key, const std::string& name, const std::string& text) {
    std::string stored;
    if (key->file.get(name, &stored) && stored == text) return;
    key->file.set(name, text);
    key->changed = true;
}

std::vector<std::string> registry_value_names(registry_key* key) { return key->file.names(); }

std::string registry_location(const std::string& path) { return file_for(path); }

registry_value_place registry_value_line(registry_key* key, const std::string& name) {
    return {key->path, key->file.line_of(name), ""};
}

std::vector<registry_value_place> registry_unreadable_lines(registry_key* key) {
    std::vector<registry_value_place> lines;
    if (key->read_error != 0) lines.push_back({key->path, 0, std::strerror(key->read_error)});
    for (const ini_file::unreadable_line& l : key->file.unreadable())
        lines.push_back({key->path, l.number, l.text});
    return lines;
}

bool registry_close_key(registry_key* key) {
    const bool written = !key->changed || ini_file_write(key->path, key->file);
    delete key;
    return written;
}
