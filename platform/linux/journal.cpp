#include "platform/journal.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr const char* journal_socket = "/run/systemd/journal/socket";

// A field as the journal's native protocol takes it: NAME=value on a line, or, for a value with
// a line break in it (a hostile file name), the name, the value's length in 64 bits little-endian
// and the value.
void add_field(std::string* entry, const std::string& name, const std::string& value) {
    *entry += name;
    if (value.find('\n') == std::string::npos) {
        *entry += '=';
    } else {
        *entry += '\n';
        uint64_t length = value.size();
        for (int i = 0; i < 8; ++i, length >>= 8)
            *entry += static_cast<char>(length & 0xff);
    }
    *entry += value;
    *entry += '\n';
}

} // namespace

bool journal_connected() {
    // systemd names the stream it gave the service as "device:inode".
    static const bool connected = [] {
        const char* stream = std::getenv("JOURNAL_STREAM");
        unsigned long long device = 0, inode = 0;
        struct stat out {};
        return stream && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 &&
               fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == device && out.st_ino == inode;
    }();
    return connected;
}

bool journal_send(const std::string& message, const std::vector<journal_field>& fields) {
    std::string entry;
    add_field(&entry, "MESSAGE", message);
    add_field(&entry, "PRIORITY", "6");
    add_field(&entry, "SYSLOG_IDENTIFIER", program_invocation_short_name);
    for (const journal_field& field : fields)
        add_field(&entry, field.name, field.value);
    const int socket_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, journal_socket, sizeof address.sun_path - 1);
    const bool sent = sendto(socket_fd, entry.data(), entry.size(), MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&address),
                             sizeof address) == static_cast<ssize_t>(entry.size());
    close(socket_fd);
    return sent;
}
