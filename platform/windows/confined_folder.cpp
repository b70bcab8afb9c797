#include "platform/confined_folder.h"

#include "text.h"

#include <cerrno>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// The path the system resolved an open handle to, links and junctions followed, without the
// "\\?\" that it begins with.
std::wstring final_path(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length =
            GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\" + path.substr(7);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

// Whether inner is outer or lies below it; names compare without regard to case, as NTFS does.
bool lies_beneath(std::wstring inner, std::wstring outer) {
    for (auto* text : {&inner, &outer})
        for (wchar_t& c : *text)
            c = static_cast<wchar_t>(std::towlower(c));
    while (!outer.empty() && outer.back() == L'\\')
        outer.pop_back();
    return inner.rfind(outer, 0) == 0 &&
           (inner.size() == outer.size() || inner[outer.size()] == L'\\');
}

// A name that says by its text alone that it leaves the folder: absolute, with a drive or a
// stream (a colon), or with "..".
bool leads_out_by_its_text(const std::string& name) {
    if (!name.empty() && (name[0] == '/' || name[0] == '\\')) return true;
    if (name.find(':') != std::string::npos) return true;
    size_t at = 0;
    while (at <= name.size()) {
        size_t end = name.find_first_of("/\\", at);
        if (end == std::string::npos) end = name.size();
        if (name.compare(at, end - at, "..") == 0 && end - at == 2) return true;
        at = end + 1;
    }
    return false;
}

// Opens what name leads to beneath the folder at folder; INVALID_HANDLE_VALUE with errno set
// (EXDEV when it leads out, through a link, a junction or its text).
HANDLE open_beneath(const std::string& folder, const std::string& name, DWORD access) {
    if (leads_out_by_its_text(name)) {
        errno = EXDEV;
        return INVALID_HANDLE_VALUE;
    }
    std::wstring path = widen(folder + "\\" + (name.empty() ? "." : name));
    HANDLE handle =
        CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errno_of(GetLastError());
        return handle;
    }
    if (!lies_beneath(final_path(handle), widen(folder))) {
        CloseHandle(handle);
        errno = EXDEV;
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

} // namespace

confined_folder::confined_folder(const std::string& path) : native_(-1) {
    HANDLE handle =
        CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    native_ = reinterpret_cast<intptr_t>(handle);
    path_ = narrow(final_path(handle));
}

confined_folder::~confined_folder() {
    if (native_ >= 0) CloseHandle(reinterpret_cast<HANDLE>(native_));
}

bool confined_folder::still_at(const std::string& path) const {
    if (!usable()) return false;
    HANDLE named = CreateFileW(widen(path).c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    bool same = GetFileInformationByHandle(reinterpret_cast<HANDLE>(native_), &a) &&
                GetFileInformationByHandle(named, &b) &&
                a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
}

int confined_folder::open(const std::string& name, int flags) const {
    if (!usable()) {
        errno = EBADF;
        return -1;
    }
    DWORD access = (flags & _O_WRONLY) ? GENERIC_WRITE
                   : (flags & _O_RDWR) ? GENERIC_READ | GENERIC_WRITE
                                       : GENERIC_READ;
    HANDLE handle = open_beneath(path_, name, access);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                             flags & (_O_RDONLY | _O_WRONLY | _O_RDWR | _O_TEXT | _O_BINARY));
    if (fd < 0) CloseHandle(handle);
    return fd;
}

int confined_folder::open_by_walk(const std::string& name, int flags) const {
    return open(name, flags);
}

std::shared_ptr<confined_folder> confined_folder::folder(const std::string& name,
                                                         int* error) const {
    HANDLE handle = usable() ? open_beneath(path_, name, 0) : INVALID_HANDLE_VALUE;
    if (handle == INVALID_HANDLE_VALUE) {
        *error = usable() ? errno : EBADF;
        return nullptr;
    }
    std::string path = narrow(final_path(handle));
    return std::shared_ptr<confined_folder>(
        new confined_folder(reinterpret_cast<intptr_t>(handle), path));
}
