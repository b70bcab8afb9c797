// Measures what a hostile crowd costs pellsd on loopback. First the memory a request holds while
// its client stays silent (as a forged source does): 200 downloads and 200 uploads, each asking
// for the largest block and window, never answered. Then how long another client waits for the
// server's answer (its file, or busy) while one address floods the server with requests that it
// never answers, against the same client's wait on an idle server, and how many of its requests
// went unanswered.
// Usage: bench_crowd [SECONDS OF FLOOD]
#include "bench_support.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int silent = 200;
constexpr int fetches = 200;
constexpr int unanswered_ms = 5000;

long resident_kib(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

int socket_from(uint32_t address) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    return fd;
}

void send_to(int fd, uint16_t port, const std::string& bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

std::string request(int opcode, const std::string& name, bool largest) {
    std::string r = std::string("\0", 1) + static_cast<char>(opcode) + name + '\0' + "octet" + '\0';
    if (largest)
        r += std::string("blksize\0" "65464\0" "windowsize\0" "512\0", 25);
    return r;
}

// The growth of pellsd's resident memory, in KiB per request, for requests that are never
// answered.
double memory_per_silent_request(pid_t pellsd, uint16_t port, int opcode) {
    const long before = resident_kib(pellsd);
    std::vector<int> sockets;
    for (int i = 0; i < silent; ++i) {
        sockets.push_back(socket_from(INADDR_LOOPBACK));
        send_to(sockets.back(), port, request(opcode, "silent" + std::to_string(i) + ".bin", true));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long after = resident_kib(pellsd);
    for (int fd : sockets)
        close(fd);
    return static_cast<double>(after - before) / silent;
}

// The other client's waits, in milliseconds, from its request to the first block of a small
// file, one fetch after another.
std::vector<double> waits(uint16_t port) {
    std::vector<double> taken;
    int fd = socket_from(0x7f000002);
    for (int i = 0; i < fetches; ++i) {
        auto start = std::chrono::steady_clock::now();
        send_to(fd, port, request(1, "small.bin", false));
        pollfd ready{fd, POLLIN, 0};
        char buffer[600];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        if (poll(&ready, 1, unanswered_ms) <= 0 ||
            recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) < 4) {
            taken.push_back(unanswered_ms);
            continue;
        }
        taken.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        const char ack[4] = {0, 4, buffer[2], buffer[3]};
        if (buffer[1] == 3) send_to(fd, ntohs(from.sin_port), std::string(ack, 4));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    close(fd);
    return taken;
}

} // namespace

int main(int argc, char** argv) {
    const int flood_seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    workspace w;
    std::ofstream(w.served / "small.bin") << "small";
    for (int i = 0; i < silent; ++i)
        std::ofstream(w.served / ("silent" + std::to_string(i) + ".bin")) << std::string(1 << 20, 'x');

    std::printf("%s; loopback.\n\n", measured_line(1).c_str());
    {
        server_pair servers(w.served.string(),
                            {"--allow-download", "--allow-upload", "--extensions",
                             "--max-windowsize", "512", "--max-transfers", "1024",
                             "--max-per-client", "1024"});
        double downloads = memory_per_silent_request(servers.pellsd, servers.ours, 1);
        double uploads = memory_per_silent_request(servers.pellsd, servers.ours, 2);
        std::printf("| %d silent requests, blksize 65464, windowsize 512 | pellsd's memory per "
                    "request |\n|---|---|\n",
                    silent);
        std::printf("| downloads | %.1f KiB |\n| uploads | %.1f KiB |\n\n", downloads, uploads);
    }

    server_pair servers(w.served.string(), {"--allow-download"});
    std::vector<double> idle = waits(servers.ours);
    std::atomic<bool> flooding{true};
    std::atomic<long> flooded{0};
    std::thread flood([&] {
        int fd = socket_from(INADDR_LOOPBACK);
        const std::string r = request(1, "small.bin", false);
        while (flooding) {
            send_to(fd, servers.ours, r);
            ++flooded;
        }
        close(fd);
    });
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(flood_seconds);
    std::vector<double> crowded;
    while (std::chrono::steady_clock::now() < until) {
        std::vector<double> more = waits(servers.ours);
        crowded.insert(crowded.end(), more.begin(), more.end());
    }
    flooding = false;
    flood.join();
    auto worst = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    auto lost = [](const std::vector<double>& v) {
        return std::count(v.begin(), v.end(), static_cast<double>(unanswered_ms));
    };
    std::printf("| another client's wait for an answer | median | worst | unanswered |\n"
                "|---|---|---|---|\n");
    std::printf("| idle server | %.2f ms | %.2f ms | %ld of %zu |\n", median(idle), worst(idle),
                static_cast<long>(lost(idle)), idle.size());
    std::printf("| one address floods (%.0f requests a second) | %.2f ms | %.2f ms | %ld of %zu |\n",
                static_cast<double>(flooded) / flood_seconds, median(crowded), worst(crowded),
                static_cast<long>(lost(crowded)), crowded.size());
    return 0;
}
