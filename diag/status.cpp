#include "status.h"

#include "platform/files.h"
#include "platform/folders.h"
#include "role.h"
#include "trace.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// The status file's path is built in a buffer of this many characters, its terminator included.
constexpr size_t status_path_room = 128;

// The files in transfer, by the transfer that owns each, in the order they began.
std::mutex files_mutex;
std::vector<std::pair<const void*, std::string>> files_in_transfer;
std::string instance; // guarded by files_mutex

std::string path_of_instance() {
    std::string name = role().status_file_name;
    const std::string path = runtime_folder() + name.insert(name.rfind('.'), instance);
    return path.size() < status_path_room ? path : std::string();
}

void status_file_rewrite() {
    std::string name = path_of_instance();
    if (name.empty()) return;
    if (files_in_transfer.empty()) return file_remove(name);
    std::string content;
    for (const auto& [owner, path] : files_in_transfer)
        content += (content.empty() ? "" : "\n") + path;
    // The temporary folder is shared by every user, hence a private file that no planted link
    // can redirect.
    file_replace_private(name, content);
}

auto entry_of(const void* owner) {
    return std::find_if(files_in_transfer.begin(), files_in_transfer.end(),
                        [owner](const auto& e) { return e.first == owner; });
}

} // namespace

void status_text(const std::string& text) { ui_set_text(role().status_control, text); }

std::string status_file_path() {
    std::lock_guard<std::mutex> lock(files_mutex);
    return path_of_instance();
}

void status_file_instance(const std::string& tag) {
    std::lock_guard<std::mutex> lock(files_mutex);
    instance = tag;
}

void status_file_write(const std::string& path, const void* owner) {
    std::lock_guard<std::mutex> lock(files_mutex);
    auto entry = entry_of(owner);
    if (entry != files_in_transfer.end())
        entry->second = path;
    else
        files_in_transfer.emplace_back(owner, path);
    status_file_rewrite();
}

void status_file_drop(const void* owner) {
    std::lock_guard<std::mutex> lock(files_mutex);
    auto entry = entry_of(owner);
    if (entry == files_in_transfer.end()) return;
    files_in_transfer.erase(entry);
    status_file_rewrite();
}

void status_file_delete() {
    std::lock_guard<std::mutex> lock(files_mutex);
    files_in_transfer.clear();
    status_file_rewrite();
}

void os_version_line() { trace_line("Running on unknown platform."); }
