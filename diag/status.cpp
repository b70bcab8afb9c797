#include "status.h"

#include "platform/files.h"
#include "platform/folders.h"
#include "role.h"
#include "trace.h"

namespace {
// The status file's path is built in a buffer of this many characters, its terminator included.
constexpr size_t status_path_room = 128;
} // namespace

void status_text(const std::string& text) { ui_set_text(role().status_control, text); }

std::string status_file_path() {
    std::string path = temp_folder() + role().status_file_name;
    return path.size() < status_path_room ? path : std::string();
}

void status_file_write(const std::string& path) {
    // The temporary folder is shared by every user, hence a private file that no planted link
    // can redirect.
    std::string name = status_file_path();
    if (!name.empty()) file_replace_private(name, path);
}

void status_file_delete() {
    std::string name = status_file_path();
    if (!name.empty()) file_remove(name);
}

void os_version_line() { trace_line("Running on unknown platform."); }
