#include "platform/folders.h"

#include <cstdlib>
#include <unistd.h>
#include <vector>

std::string temp_folder() {
    // Nothing in the programs changes the environment while they run.
    const char* env = std::getenv("TMPDIR"); // NOLINT(concurrency-mt-unsafe)
    std::string folder = env && *env ? env : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string current_folder() {
    std::vector<char> buffer(4096);
    return getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string();
}

const char* const path_separators = "/";

std::string native_path(const std::string& path) { return path; }
