#include "platform/folders.h"

#include "text.h"

#include <algorithm>
#include <windows.h>

const char* const path_separators = "\\/";

std::string native_path(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

std::string temp_folder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::string folder = length ? narrow(std::wstring(buffer, length)) : "C:\\Windows\\Temp\\";
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

std::string current_folder() {
    wchar_t buffer[32768] = {};
    DWORD length = GetCurrentDirectoryW(32768, buffer);
    return length ? narrow(std::wstring(buffer, length)) : std::string();
}
