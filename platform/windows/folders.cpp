#include "platform/folders.h"

#include "text.h"

#include <algorithm>
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

const char* const path_separators = "\\/";

std::string native_path(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

// A user's temporary folder is the user's own already.
std::string runtime_folder() { return temp_folder(); }

std::string temp_folder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::string folder = length ? narrow(std::wstring(buffer, length)) : "C:\\Windows\\Temp\\";
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

std::string home_folder() {
    const wchar_t* profile = _wgetenv(L"USERPROFILE");
    return profile ? narrow(profile) : "C:\\";
}

std::string served_folder_default() {
    const std::string here = current_folder();
    wchar_t self[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string program = narrow(std::wstring(self, length));
    program = program.substr(0, program.find_last_of("\\/"));
    const auto same = [](const std::string& a, const std::string& b) {
        return lstrcmpiW(widen(a).c_str(), widen(b).c_str()) == 0;
    };
    const bool drive_root = here.size() <= 3 && here.size() >= 2 && here[1] == ':';
    if (!drive_root && !same(here, home_folder()) && !same(here, program)) return here;
    PWSTR documents = nullptr;
    std::string own = home_folder() + "\\Documents";
    if (SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents) == S_OK)
        own = narrow(documents);
    CoTaskMemFree(documents);
    return own + "\\TFTP";
}

std::string current_folder() {
    wchar_t buffer[32768] = {};
    DWORD length = GetCurrentDirectoryW(32768, buffer);
    return length ? narrow(std::wstring(buffer, length)) : std::string();
}
