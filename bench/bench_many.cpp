// Measures many transfers at once on loopback. 200 tftp-hpa clients start together, each
// downloading a 1 MiB file, from pellsd (--max-transfers 200) and from tftpd-hpa, interleaved
// round by round: the time until the last one has its file, and pellsd's peak memory. Then 1000
// requests sent at once by one process that plays every client, to pellsd with 1024 transfers:
// all served, pellsd's open descriptors before and after, its processor time per transfer.
// Usage: bench_many [ROUNDS]
#include "bench_support.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int crowd = 200;
constexpr size_t crowd_file_size = 1u << 20;
constexpr int burst = 1000;
constexpr size_t burst_file_size = 16u << 10;

// Starts every client, then waits for them all: the wall time from the first start to the end
// of the last.
double run_crowd(const std::vector<std::vector<std::string>>& commands, const std::string& folder) {
    auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> clients;
    for (const auto& command : commands)
        clients.push_back(spawn(command, folder));
    for (pid_t pid : clients)
        waitpid(pid, nullptr, 0);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peak_memory_kib(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

int open_descriptors(pid_t pid) {
    fs::path folder = "/proc/" + std::to_string(pid) + "/fd";
    return static_cast<int>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// One client of the burst: its socket, the blocks taken so far and the port that sends them.
struct burst_client {
    int fd = -1;
    std::string taken;
    uint16_t server_port = 0;
    int requests = 0;
    bool done = false;
};

std::string packet(int opcode, int number) {
    return {static_cast<char>(0), static_cast<char>(opcode), static_cast<char>(number >> 8),
            static_cast<char>(number & 0xff)};
}

void send_to(int fd, uint16_t port, const std::string& bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// Every client sends its request at once and takes its blocks in lock step; a request still
// unanswered after a second goes again, as clients do. The clients whose file came whole, and
// the requests sent in all.
std::pair<int, int> run_burst(uint16_t port, const std::string& expected) {
    std::string request = std::string("\0\1", 2) + "burst.bin" + '\0' + "octet" + '\0';
    int epoll = epoll_create1(0);
    std::vector<burst_client> clients(burst);
    for (size_t i = 0; i < clients.size(); ++i) {
        clients[i].fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = i;
        epoll_ctl(epoll, EPOLL_CTL_ADD, clients[i].fd, &event);
    }
    int sent = 0, finished = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (finished < burst && std::chrono::steady_clock::now() < deadline) {
        for (burst_client& c : clients)
            if (c.server_port == 0 && c.requests < 10) {
                send_to(c.fd, port, request);
                ++c.requests, ++sent;
            }
        auto resend_at = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        epoll_event events[256];
        while (finished < burst && std::chrono::steady_clock::now() < resend_at) {
            int n = epoll_wait(epoll, events, 256, 100);
            for (int e = 0; e < n; ++e) {
                burst_client& c = clients[events[e].data.u64];
                char buffer[600];
                sockaddr_in from{};
                socklen_t length = sizeof from;
                ssize_t got;
                while ((got = recvfrom(c.fd, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&from), &length)) >= 4) {
                    length = sizeof from;
                    int block = (static_cast<unsigned char>(buffer[2]) << 8) |
                                static_cast<unsigned char>(buffer[3]);
                    if (buffer[1] != 3 || c.done ||
                        block != static_cast<int>(c.taken.size() / 512) + 1)
                        continue;
                    c.server_port = ntohs(from.sin_port);
                    c.taken.append(buffer + 4, static_cast<size_t>(got - 4));
                    send_to(c.fd, c.server_port, packet(4, block));
                    if (got < 516) {
                        c.done = true;
                        finished += c.taken == expected ? 1 : 0;
                    }
                }
            }
        }
    }
    for (burst_client& c : clients)
        close(c.fd);
    close(epoll);
    return {finished, sent};
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    // One process plays a thousand clients.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    workspace w;
    const fs::path &served = w.served, &out = w.out;
    const std::string crowd_file = random_bytes(crowd_file_size, 21);
    const std::string burst_file = random_bytes(burst_file_size, 22);
    std::ofstream(served / "m1.bin", std::ios::binary) << crowd_file;
    std::ofstream(served / "burst.bin", std::ios::binary) << burst_file;

    const std::string s = served.string(), o = out.string();
    server_pair servers(
        s, {"--allow-download", "--max-transfers", "1024", "--max-per-client", "1024"});
    const uint16_t ours = servers.ours, theirs = servers.theirs;
    const pid_t pellsd = servers.pellsd;

    int failures = 0;
    std::map<std::string, std::vector<double>> walls;
    for (int round = 0; round < rounds; ++round) {
        std::fprintf(stderr, "round %d of %d\n", round + 1, rounds);
        std::vector<std::pair<std::string, uint16_t>> servers = {{"pellsd", ours},
                                                                 {"tftpd-hpa", theirs}};
        if (round % 2) std::swap(servers[0], servers[1]);
        for (const auto& [name, port] : servers) {
            std::vector<std::vector<std::string>> commands;
            for (int i = 0; i < crowd; ++i)
                commands.push_back({which("tftp"), "127.0.0.1", std::to_string(port), "-m",
                                    "binary", "-c", "get", "m1.bin", o + "/" + std::to_string(i)});
            walls[name].push_back(run_crowd(commands, o));
            for (int i = 0; i < crowd; ++i) {
                if (read_all(o + "/" + std::to_string(i)) != crowd_file) ++failures;
                fs::remove(out / std::to_string(i));
            }
        }
    }
    const long crowd_peak = peak_memory_kib(pellsd);

    const int descriptors_before = open_descriptors(pellsd);
    const double cpu_before = cpu_of(pellsd);
    auto start = std::chrono::steady_clock::now();
    auto [served_whole, requests_sent] = run_burst(ours, burst_file);
    const double burst_wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double burst_cpu = cpu_of(pellsd) - cpu_before;
    // The last transfers close once their final ACK is in.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const int descriptors_after = open_descriptors(pellsd);
    failures += burst - served_whole;
    const long burst_peak = peak_memory_kib(pellsd);

    std::printf("%s; loopback.\n\n", measured_line(rounds).c_str());
    std::printf("| 200 tftp-hpa clients at once, 1 MiB each | pellsd, 200 transfers | tftpd-hpa "
                "| Ratio |\n|---|---|---|---|\n");
    double a = median(walls["pellsd"]), b = median(walls["tftpd-hpa"]);
    std::printf("| until the last has its file | %.2f s | %.2f s | %.2f |\n", a, b, a / b);
    std::printf("| pellsd's peak memory | %.1f MiB | | |\n\n", crowd_peak / 1024.0);
    std::printf(
        "| 1000 requests at once, 16 KiB each, pellsd with 1024 transfers | |\n|---|---|\n");
    std::printf("| served whole | %d of %d (%d requests sent) |\n", served_whole, burst,
                requests_sent);
    std::printf("| wall until the last | %.2f s |\n", burst_wall);
    std::printf("| pellsd's open descriptors before, after | %d, %d |\n", descriptors_before,
                descriptors_after);
    std::printf("| pellsd's processor time per transfer | %.2f ms |\n", burst_cpu * 1000 / burst);
    std::printf("| pellsd's peak memory | %.1f MiB |\n", burst_peak / 1024.0);
    if (failures) std::printf("\n%d transfers did not deliver the file unchanged.\n", failures);
    return failures ? 1 : 0;
}
