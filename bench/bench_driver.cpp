// Measures pellsd and pellcl against tftpd-hpa, the tftp-hpa client and curl on loopback, on the
// same machine in one run, the contenders interleaved round by round, and prints one markdown
// table of medians and ratios. Usage: bench_driver [ROUNDS]
#include "bench_support.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr size_t largest = 65535u * 512u - 1u;

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    workspace w;
    const fs::path &served = w.served, &out = w.out;

    const std::string binary = random_bytes(largest, 7);
    std::ofstream(served / "big.bin", std::ios::binary) << binary;
    // A text whose netascii form fills the same 65535 blocks: lines of 79 characters.
    std::string text;
    while (text.size() + (text.size() / 80) + 81 <= largest)
        text += std::string(79, 'x') + "\n";
    while (text.size() + std::count(text.begin(), text.end(), '\n') < largest)
        text += 'y';
    std::ofstream(served / "text.txt", std::ios::binary) << text;

    const std::string s = served.string();
    server_pair servers(s, {"--allow-download", "--allow-upload"});
    const uint16_t ours = servers.ours, theirs = servers.theirs;

    const std::string tftp = which("tftp"), curl = which("curl");
    auto port_of = [&](bool our_server) { return std::to_string(our_server ? ours : theirs); };
    results r;
    int failures = 0;
    auto check = [&](const fs::path& file, const std::string& expected, const char* what) {
        if (read_all(file.string()) != expected) {
            ++failures;
            std::fprintf(stderr, "%s: the file differs\n", what);
        }
        fs::remove(file);
    };
    // One scenario, both servers in turn: the server's processor time, the client's wall time.
    // The order alternates from round to round, so that neither contender always runs first.
    bool ours_first = true;
    auto order = [&] {
        return ours_first ? std::vector<bool>{true, false} : std::vector<bool>{false, true};
    };
    auto against_servers =
        [&](const std::string& key,
            const std::function<std::vector<std::string>(const std::string&, const std::string&)>&
                command,
            const fs::path& result, const std::string& expected) {
            for (bool our_server : order()) {
                double before = machine_busy();
                fs::path target = result.string() + (our_server ? ".ours" : ".theirs");
                measure m = run(command(port_of(our_server), target.string()), out.string());
                m.cpu = machine_busy() - before - m.cpu;
                r.add(key + (our_server ? "/pellsd" : "/tftpd-hpa"), m);
                check(target, expected, (key + (our_server ? " pellsd" : " tftpd-hpa")).c_str());
            }
        };
    for (int round = 0; round < rounds; ++round) {
        std::fprintf(stderr, "round %d of %d\n", round + 1, rounds);
        against_servers(
            "download tftp-hpa",
            [&](auto& port, auto& to) {
                return std::vector<std::string>{tftp, "127.0.0.1", port,      "-m", "binary",
                                                "-c", "get",       "big.bin", to};
            },
            out / "big", binary);
        against_servers(
            "download curl",
            [&](auto& port, auto& to) {
                return std::vector<std::string>{curl, "-s", "-o", to,
                                                "tftp://127.0.0.1:" + port + "/big.bin"};
            },
            out / "big", binary);
        against_servers(
            "netascii tftp-hpa",
            [&](auto& port, auto& to) {
                return std::vector<std::string>{tftp, "127.0.0.1", port,       "-m", "ascii",
                                                "-c", "get",       "text.txt", to};
            },
            out / "text", text);
        against_servers(
            "upload tftp-hpa",
            [&](auto& port, auto& to) {
                return std::vector<std::string>{tftp,
                                                "127.0.0.1",
                                                port,
                                                "-m",
                                                "binary",
                                                "-c",
                                                "put",
                                                (served / "big.bin").string(),
                                                fs::path(to).filename().string()};
            },
            served / "up", binary);
        const std::string host = "127.0.0.1:" + std::to_string(theirs);
        std::vector<std::pair<std::string, std::vector<std::string>>> clients = {
            {"pellcl", {PELLCL_PATH, "--get", host, "big.bin", (out / "c.pellcl").string()}},
            {"tftp-hpa",
             {tftp, "127.0.0.1", std::to_string(theirs), "-m", "binary", "-c", "get", "big.bin",
              (out / "c.tftp").string()}},
            {"curl", {curl, "-s", "-o", (out / "c.curl").string(), "tftp://" + host + "/big.bin"}},
        };
        if (!ours_first) std::reverse(clients.begin(), clients.end());
        for (auto& [name, command] : clients) {
            r.add("client/" + name, run(command, out.string()));
            check(command[name == "curl" ? 3 : command.size() - 1], binary, name.c_str());
        }
        r.add("floor", run({FLOOR_PATH}, out.string()));
        ours_first = !ours_first;
    }

    // Idle: a freshly enabled server for ten seconds, and a client waiting on a silent server.
    uint16_t idle_port = free_port();
    pid_t idle =
        spawn({PELLSD_PATH, "--headless", "--port", std::to_string(idle_port), "--root", s}, s);
    const double server_idle = idle_cpu(idle, SIGTERM);
    uint16_t silent_port = 0;
    int silent = udp_socket_bound(&silent_port);
    pid_t waiting = spawn({PELLCL_PATH, "--get", "127.0.0.1:" + std::to_string(silent_port),
                           "never.bin", (out / "never").string()},
                          out.string());
    const double client_idle = idle_cpu(waiting, SIGINT);
    close(silent);

    double floor = median(r.wall["floor"]);
    std::printf("%s; a file of %zu bytes (65535 blocks) on loopback.\n\n",
                measured_line(rounds).c_str(), largest);
    std::printf(
        "| Measure | PelloryTFTP | Peer | Ratio | PelloryTFTP / floor |\n|---|---|---|---|---|\n");
    auto row = [&](const char* what, const std::string& key, const std::string& ours_key,
                   const std::string& peer_key, bool wall) {
        auto& table = wall ? r.wall : r.cpu;
        double a = median(table[key + "/" + ours_key]), b = median(table[key + "/" + peer_key]);
        std::printf("| %s | %.3f s | %.3f s (%s) | %.2f | %s |\n", what, a, b, peer_key.c_str(),
                    b > 0 ? a / b : 0.0,
                    wall ? (std::to_string(a / floor).substr(0, 4)).c_str() : "");
    };
    row("Server download, tftp-hpa client: wall", "download tftp-hpa", "pellsd", "tftpd-hpa", true);
    row("Server download, tftp-hpa client: server CPU", "download tftp-hpa", "pellsd", "tftpd-hpa",
        false);
    row("Server download, curl: wall", "download curl", "pellsd", "tftpd-hpa", true);
    row("Server download, curl: server CPU", "download curl", "pellsd", "tftpd-hpa", false);
    row("Server upload, tftp-hpa client: wall", "upload tftp-hpa", "pellsd", "tftpd-hpa", true);
    row("Server upload, tftp-hpa client: server CPU", "upload tftp-hpa", "pellsd", "tftpd-hpa",
        false);
    row("Server netascii download, tftp-hpa: wall", "netascii tftp-hpa", "pellsd", "tftpd-hpa",
        true);
    row("Server netascii download, tftp-hpa: server CPU", "netascii tftp-hpa", "pellsd",
        "tftpd-hpa", false);
    row("Client download from tftpd-hpa: wall", "client", "pellcl", "tftp-hpa", true);
    row("Client download from tftpd-hpa: client CPU", "client", "pellcl", "tftp-hpa", false);
    row("Client download from tftpd-hpa: wall", "client", "pellcl", "curl", true);
    row("Client download from tftpd-hpa: client CPU", "client", "pellcl", "curl", false);
    std::printf("| Lock-step floor (two minimal processes): wall | %.3f s | | | 1.00 |\n", floor);
    std::printf("| Idle pellsd --headless, 10 s: CPU | %.3f s | | | |\n", server_idle);
    std::printf("| pellcl waiting on a silent server, 10 s: CPU | %.3f s | | | |\n", client_idle);
    if (failures) std::printf("\n%d transfers did not deliver the file unchanged.\n", failures);
    return failures ? 1 : 0;
}
