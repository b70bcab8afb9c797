#include "folders.h"

#include <cstdlib>
#include <unistd.h>
#include <vector>

std::string temp_folder() {
    const char* env = std::getenv("TMPDIR");
    std::string folder = env && *env ? env : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string current_folder() {
    std::vector<char> buffer(4096);
    return getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string();
}
