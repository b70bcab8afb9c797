#include "sockets.h"

#include "platform/socket.h"

#include <mutex>
#include <vector>

namespace {

// Numbers handed out, never destroyed: a worker may close its socket as the process ends.
struct socket_table {
    std::mutex mutex;
    std::vector<SOCKET> sockets;
};

socket_table& table() {
    static socket_table* const shared = new socket_table;
    return *shared;
}

} // namespace

void sockets_ready() {
    // Started by whoever needs Winsock first, a static initialiser among them.
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

int socket_number(SOCKET socket) {
    socket_table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (size_t i = 0; i < t.sockets.size(); ++i)
        if (t.sockets[i] == INVALID_SOCKET) {
            t.sockets[i] = socket;
            return static_cast<int>(i);
        }
    t.sockets.push_back(socket);
    return static_cast<int>(t.sockets.size() - 1);
}

SOCKET socket_of(int number) {
    socket_table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return number >= 0 && static_cast<size_t>(number) < t.sockets.size()
               ? t.sockets[static_cast<size_t>(number)]
               : INVALID_SOCKET;
}

void socket_close(int number) {
    SOCKET socket = INVALID_SOCKET;
    {
        socket_table& t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        if (number < 0 || static_cast<size_t>(number) >= t.sockets.size()) return;
        std::swap(socket, t.sockets[static_cast<size_t>(number)]);
    }
    if (socket != INVALID_SOCKET) closesocket(socket);
}
