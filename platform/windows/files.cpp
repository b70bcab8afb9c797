#include "platform/files.h"

#include "platform/folders.h"
#include "platform/staged_steps.h"

#include "text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

std::wstring wide_of(const std::string& path) { return widen(path); }

// The whole path of a place: beneath its root's real path, or its own.
std::string whole_path(const file_place& place) {
    return native_path(place.root ? place.root->path() + "\\" + place.beneath : place.path);
}

FILE* stream_of(int fd, const char* mode) {
    FILE* stream = fd < 0 ? nullptr : _fdopen(fd, mode);
    if (!stream && fd >= 0) _close(fd);
    return stream;
}

// Opens a path for reading so that a file replaced meanwhile (an upload taking its name) stays
// readable to the end, as it does on Linux.
int open_shared(const std::string& path, bool text) {
    HANDLE handle = CreateFileW(wide_of(native_path(path)).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errno_of(GetLastError());
        return -1;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                             _O_RDONLY | (text ? _O_TEXT : _O_BINARY));
    if (fd < 0) CloseHandle(handle);
    return fd;
}

// Opens the place: beneath its root, or at its path.
int open_place(const file_place& place, int flags) {
    if (place.root) return place.root->open(place.beneath, flags);
    return open_shared(place.path, (flags & _O_TEXT) != 0);
}

bool is_disk_file(int fd) {
    return GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) == FILE_TYPE_DISK;
}

// The folder that holds the place, and the place's name in it.
std::shared_ptr<const confined_folder> folder_of(const file_place& place, std::string* name,
                                                 int* error) {
    const std::string whole = native_path(place.root ? place.beneath : place.path);
    size_t slash = whole.rfind('\\');
    std::string folder = slash == std::string::npos ? "" : whole.substr(0, slash);
    *name = slash == std::string::npos ? whole : whole.substr(slash + 1);
    if (place.root) return place.root->folder(folder, error);
    auto opened = std::make_shared<confined_folder>(folder.empty() ? "." : folder + "\\");
    *error = ENOENT;
    return opened->usable() ? opened : nullptr;
}

struct descriptor {
    int fd;
    ~descriptor() {
        if (fd >= 0) _close(fd);
    }
};

} // namespace

std::string error_text(int error) {
    // Winsock's errors are numbered apart from the C library's.
    if (error >= WSABASEERR) {
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0,
                       nullptr);
        std::string said = text ? narrow(text) : "Windows Sockets error " + std::to_string(error);
        LocalFree(text);
        while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == '.'))
            said.pop_back();
        return said;
    }
    return std::strerror(error);
}

bool file_replace_private(const std::string& path, const std::string& content) {
    // The user's own temporary folder is private to the user already.
    FILE* file = _wfopen(wide_of(path).c_str(), L"wb");
    if (!file) return false;
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && written;
}

void file_remove(const std::string& path) { _wunlink(wide_of(path).c_str()); }

// Lines end in CR LF, as Notepad expects; N keeps the log from programs the server starts.
FILE* log_open(const std::string& path) { return _wfopen(wide_of(path).c_str(), L"atN"); }

FILE* standard_stream(bool writing, bool text) {
    const int fd = _dup(_fileno(writing ? stdout : stdin));
    if (fd < 0) return nullptr;
    _setmode(fd, text ? _O_TEXT : _O_BINARY);
    FILE* stream = _fdopen(fd, writing ? "w" : "r");
    if (!stream) _close(fd);
    return stream;
}

bool is_terminal(FILE* stream) {
    if (!_isatty(_fileno(stream))) return false;
    // The meter redraws its line with the terminal's own sequences.
    HANDLE console = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode))
        SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
}

FILE* stream_open(const file_place& place, bool regular_only, bool text) {
    int fd = open_place(place, _O_RDONLY | (text ? _O_TEXT : _O_BINARY));
    if (fd < 0) return nullptr;
    struct _stat64 info {};
    if (regular_only && (_fstat64(fd, &info) != 0 || !(info.st_mode & _S_IFREG))) {
        _close(fd);
        errno = EINVAL;
        return nullptr;
    }
    return stream_of(fd, text ? "rt" : "rb");
}

FILE* staged_open(const file_place& place, bool regular_only, bool text, int /*new_mode*/,
                  staged_file* staged, int* error) {
    *staged = {};
    const char* mode = text ? "wt" : "wb";
    descriptor existing{open_place(place, _O_RDONLY | _O_BINARY)};
    if (existing.fd < 0 && errno != ENOENT) {
        *error = errno;
        return nullptr;
    }
    // A device (NUL, a console) is written in place.
    if (existing.fd >= 0 && !is_disk_file(existing.fd)) {
        if (regular_only) {
            *error = EINVAL;
            return nullptr;
        }
        FILE* stream = _wfopen(wide_of(whole_path(place)).c_str(), text ? L"wt" : L"wb");
        if (!stream) *error = errno;
        if (stream) staged->name = place.path;
        return stream;
    }
    if (existing.fd >= 0) {
        DWORD attributes = GetFileAttributesW(wide_of(whole_path(place)).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            *error = EACCES;
            return nullptr;
        }
    }
    std::string name;
    std::shared_ptr<const confined_folder> folder = folder_of(place, &name, error);
    if (!folder) return nullptr;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = staged_temp_name(name);
        HANDLE handle =
            CreateFileW(wide_of(folder->path() + "\\" + temp).c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (handle == INVALID_HANDLE_VALUE) {
            *error = errno_of(GetLastError());
            return nullptr;
        }
        int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                 _O_WRONLY | (text ? _O_TEXT : _O_BINARY));
        FILE* stream = stream_of(fd, mode);
        if (!stream) {
            if (fd < 0) CloseHandle(handle);
            *error = errno;
            DeleteFileW(wide_of(folder->path() + "\\" + temp).c_str());
            return nullptr;
        }
        *staged = {folder, temp, name};
        return stream;
    }
    *error = EEXIST;
    return nullptr;
}

bool staged_sync(FILE* stream) { return _commit(_fileno(stream)) == 0; }

int staged_rename(const staged_file& staged, bool keep_existing) {
    const std::wstring temp = wide_of(staged.folder->path() + "\\" + staged.temp);
    const std::wstring name = wide_of(staged.folder->path() + "\\" + staged.name);
    return MoveFileExW(temp.c_str(), name.c_str(),
                       MOVEFILE_WRITE_THROUGH | (keep_existing ? 0 : MOVEFILE_REPLACE_EXISTING))
               ? 0
               : errno_of(GetLastError());
}

int staged_rename_beside(const staged_file& staged, const std::string& from, const std::string& to,
                         bool keep) {
    const std::wstring old_name = wide_of(staged.folder->path() + "\\" + from);
    const std::wstring new_name = wide_of(staged.folder->path() + "\\" + to);
    if (keep) DeleteFileW(new_name.c_str());
    const bool done = keep ? CreateHardLinkW(new_name.c_str(), old_name.c_str(), nullptr) != 0
                           : MoveFileExW(old_name.c_str(), new_name.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    return done ? 0 : errno_of(GetLastError());
}

void staged_remove(const staged_file& staged) {
    DeleteFileW(wide_of(staged.folder->path() + "\\" + staged.temp).c_str());
}

bool staged_remove_if_idle(const std::string& path) {
    // Its writer opens it without letting it be deleted.
    return DeleteFileW(wide_of(path).c_str()) != 0;
}

std::string file_identity(const file_place& place) {
    std::string name;
    int error = 0;
    std::shared_ptr<const confined_folder> folder = folder_of(place, &name, &error);
    // NTFS compares names without regard to case.
    std::wstring identity = widen((folder ? folder->path() : place.path) + "\\" + name);
    for (wchar_t& c : identity)
        c = static_cast<wchar_t>(std::towlower(c));
    return narrow(identity);
}

bool error_is_disk_full(int error) { return error == ENOSPC; }

bool path_leads_out(const file_place& place) {
    if (!place.root) return false;
    descriptor fd{open_place(place, _O_RDONLY | _O_BINARY)};
    return fd.fd < 0 && errno == EXDEV;
}

long stream_read_raw(FILE* stream, void* buffer, size_t count) {
    return _read(_fileno(stream), buffer, static_cast<unsigned>(count));
}

long stream_write_raw(FILE* stream, const void* buffer, size_t count) {
    return _write(_fileno(stream), buffer, static_cast<unsigned>(count));
}

bool path_exists(const file_place& place) {
    return GetFileAttributesW(wide_of(whole_path(place)).c_str()) != INVALID_FILE_ATTRIBUTES &&
           !path_leads_out(place);
}

file_place place_ignoring_case(const file_place& place) { return place; }

std::string file_name_of(const std::string& name) {
    std::string taken = name;
    std::replace(taken.begin(), taken.end(), ':', '-');
    return taken;
}

bool folder_create(const std::string& path) { return _wmkdir(wide_of(path).c_str()) == 0; }

// Windows tells a folder's access only by trying it; its read-only attribute is what is known.
bool folder_usable(const std::string& path, bool writing) {
    return _waccess(wide_of(path).c_str(), writing ? 6 : 4) == 0;
}

bool path_is_folder(const std::string& path) {
    DWORD attributes = GetFileAttributesW(wide_of(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool path_readable(const file_place& place) {
    descriptor fd{open_place(place, _O_RDONLY | _O_BINARY)};
    return fd.fd >= 0;
}

bool path_read_only(const file_place& place) {
    DWORD attributes = GetFileAttributesW(wide_of(whole_path(place)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool file_readable(const std::string& path) {
    DWORD attributes = GetFileAttributesW(wide_of(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        errno = errno_of(GetLastError());
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        errno = EISDIR;
        return false;
    }
    descriptor fd{open_shared(path, false)};
    return fd.fd >= 0;
}

int64_t file_size(const file_place& place) {
    descriptor fd{open_place(place, _O_RDONLY | _O_BINARY)};
    struct _stat64 info {};
    return fd.fd >= 0 && _fstat64(fd.fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool room_for(const file_place& place, int64_t bytes) {
    std::string name;
    int error = 0;
    std::shared_ptr<const confined_folder> folder = folder_of(place, &name, &error);
    ULARGE_INTEGER free_bytes{};
    if (!folder ||
        !GetDiskFreeSpaceExW(wide_of(folder->path() + "\\").c_str(), &free_bytes, nullptr, nullptr))
        return true;
    return static_cast<int64_t>(free_bytes.QuadPart) >= bytes;
}
