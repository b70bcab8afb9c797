#include "platform/folders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

std::string temp_folder() {
    // Nothing in the programs changes the environment while they run.
    const char* env = std::getenv("TMPDIR"); // NOLINT(concurrency-mt-unsafe)
    std::string folder = env && *env ? env : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string runtime_folder() {
    const char* env = std::getenv("XDG_RUNTIME_DIR"); // NOLINT(concurrency-mt-unsafe)
    return env && *env ? std::string(env) + "/" : temp_folder();
}

std::string current_folder() {
    std::vector<char> buffer(4096);
    return getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string();
}

std::string home_folder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home; // NOLINT
    const passwd* user = getpwuid(getuid()); // NOLINT(concurrency-mt-unsafe): read at once
    return user ? user->pw_dir : "/";
}

std::string served_folder_default() {
    const std::string here = current_folder();
    std::vector<char> self(4096);
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    std::string program = length > 0 ? std::string(self.data(), static_cast<size_t>(length)) : "";
    program = program.substr(0, program.rfind('/'));
    const std::string home = home_folder();
    if (here != "/" && here != home && here != program) return here;
    return (home == "/" ? "" : home) + "/tftp";
}

const char* const path_separators = "/";

std::string native_path(const std::string& path) { return path; }
