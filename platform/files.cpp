#include "files.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string error_text(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

bool file_replace_private(const std::string& path, const std::string& content) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool written = fchmod(fd, 0600) == 0 &&
                   write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    return close(fd) == 0 && written;
}

void file_remove(const std::string& path) { unlink(path.c_str()); }

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
