#include "files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

FILE* stream_open(const std::string& path, const char* mode, bool regular_only) {
    bool writing = mode[0] == 'w';
    int flags = (writing ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY) | O_CLOEXEC;
    if (regular_only) {
        // Without O_NONBLOCK a FIFO would hold the caller until a peer opened its other end.
        int fd = open(path.c_str(), (flags & ~O_TRUNC) | O_NONBLOCK, 0666);
        if (fd < 0) return nullptr;
        struct stat info {};
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
            (writing && ftruncate(fd, 0) != 0)) {
            close(fd);
            return nullptr;
        }
        FILE* stream = fdopen(fd, writing ? "w" : "r");
        if (!stream) close(fd);
        return stream;
    }
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    FILE* stream = fdopen(fd, writing ? "w" : "r");
    if (!stream) close(fd);
    return stream;
}

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
