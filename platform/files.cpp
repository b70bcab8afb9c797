#include "files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

std::string error_text(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

bool file_replace_private(const std::string& path, const std::string& content) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool written = fchmod(fd, 0600) == 0 && write(fd, content.data(), content.size()) ==
                                                static_cast<ssize_t>(content.size());
    return close(fd) == 0 && written;
}

void file_remove(const std::string& path) { unlink(path.c_str()); }

bool stdout_is_terminal() { return isatty(STDOUT_FILENO) == 1; }

namespace {

FILE* stream_of(int fd, const char* mode) {
    FILE* stream = fd < 0 ? nullptr : fdopen(fd, mode);
    if (!stream && fd >= 0) close(fd);
    return stream;
}

// Eight letters that no other writer in the folder is likely to pick.
std::string random_letters() {
    static thread_local std::mt19937 random{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string text(8, ' ');
    for (char& c : text)
        c = letters[std::uniform_int_distribution<size_t>(0, sizeof letters - 2)(random)];
    return text;
}

// Gives the file at from the name to, replacing a file there unless keep_existing; 0 or the
// error number.
int rename_into_place(const std::string& from, const std::string& to, bool keep_existing) {
    if (!keep_existing) return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    // A file system without the flag: a hard link is refused as well when the name is taken.
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (link(from.c_str(), to.c_str()) != 0) return errno;
    unlink(from.c_str());
    return 0;
}

} // namespace

FILE* stream_open(const std::string& path, bool regular_only) {
    if (!regular_only) return stream_of(open(path.c_str(), O_RDONLY | O_CLOEXEC), "r");
    // Without O_NONBLOCK a FIFO would hold the caller until a peer opened its other end.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    return stream_of(fd, "r");
}

FILE* staged_open(const std::string& path, bool regular_only, staged_file* staged, int* error) {
    *staged = {};
    // A link is written through, as any program writing to its name would.
    std::vector<char> resolved(PATH_MAX);
    std::string target = realpath(path.c_str(), resolved.data()) ? resolved.data() : path;
    struct stat existing {};
    bool replaces = stat(target.c_str(), &existing) == 0;
    if (replaces && !S_ISREG(existing.st_mode)) {
        *error = regular_only ? EINVAL : 0;
        FILE* stream =
            regular_only ? nullptr : stream_of(open(target.c_str(), O_WRONLY | O_CLOEXEC), "w");
        if (!stream && !*error) *error = errno;
        return stream;
    }
    // The new file may replace the old only where the old one could be written.
    if (replaces && access(target.c_str(), W_OK) != 0) {
        *error = errno;
        return nullptr;
    }
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string name = target.substr(folder.size()).substr(0, 100);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = folder + staged_name_prefix + random_letters() + "-" + name;
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        if (replaces) fchmod(fd, existing.st_mode & 07777);
        FILE* stream = stream_of(fd, "w");
        if (!stream) {
            *error = errno;
            unlink(temp.c_str());
            return nullptr;
        }
        *staged = {temp, target};
        return stream;
    }
    *error = errno;
    return nullptr;
}

int staged_commit(FILE* stream, const staged_file& staged, bool keep_existing) {
    int error = 0;
    if (std::fflush(stream) != 0 || (!staged.temp.empty() && fsync(fileno(stream)) != 0))
        error = errno;
    if (std::fclose(stream) != 0 && error == 0) error = errno;
    if (staged.temp.empty()) return error;
    if (error == 0) error = rename_into_place(staged.temp, staged.target, keep_existing);
    if (error != 0) unlink(staged.temp.c_str());
    return error;
}

void staged_discard(FILE* stream, const staged_file& staged) {
    std::fclose(stream);
    if (!staged.temp.empty()) unlink(staged.temp.c_str());
}

std::string file_identity(const std::string& path) {
    std::vector<char> resolved(PATH_MAX);
    if (realpath(path.c_str(), resolved.data())) return resolved.data();
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return (realpath(folder.c_str(), resolved.data()) ? resolved.data() : folder) + "/" + name;
}

bool error_is_disk_full(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

long stream_read_raw(FILE* stream, void* buffer, size_t count) {
    return read(fileno(stream), buffer, count);
}

long stream_write_raw(FILE* stream, const void* buffer, size_t count) {
    return write(fileno(stream), buffer, count);
}

bool path_exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool path_is_folder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool path_readable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

bool path_read_only(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    return (info.st_mode & S_IWUSR) == 0 || (access(path.c_str(), W_OK) != 0 && errno == EACCES);
}

bool file_readable(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    bool readable = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
    close(fd);
    return readable;
}

int64_t file_size(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool room_for(const std::string& path, int64_t bytes) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct statvfs info {};
    if (statvfs(folder.c_str(), &info) != 0) return true;
    return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize) >= bytes;
}
