// The floor of a lock-step transfer on this machine: two processes play the exchange of a
// largest TFTP transfer over loopback (a 516-byte datagram out, a 4-byte answer back, 65535
// times) with nothing else to do. Prints the wall seconds.
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int blocks = 65535;

int bound_socket(sockaddr_in* address) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t length = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length);
    *address = sa;
    return fd;
}

} // namespace

int main() {
    sockaddr_in sender_address{}, answerer_address{};
    int sender = bound_socket(&sender_address);
    int answerer = bound_socket(&answerer_address);
    if (fork() == 0) {
        char block[2048], ack[4] = {0, 4, 0, 0};
        for (int n = 0; n < blocks; ++n) {
            recv(answerer, block, sizeof block, 0);
            sendto(answerer, ack, sizeof ack, 0, reinterpret_cast<sockaddr*>(&sender_address),
                   sizeof sender_address);
        }
        _exit(0);
    }
    char block[516] = {0, 3}, ack[16];
    auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < blocks; ++n) {
        sendto(sender, block, sizeof block, 0, reinterpret_cast<sockaddr*>(&answerer_address),
               sizeof answerer_address);
        recv(sender, ack, sizeof ack, 0);
    }
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    wait(nullptr);
    std::printf("%.3f\n", elapsed.count());
    return 0;
}
