// Measures a download of 32 MiB through a relay that loses one datagram in a hundred, either
// way: pellcl from pellsd in lock step and with blocks of 1468 bytes in windows of 16, against
// tftp-hpa from both servers and curl from tftpd-hpa through the same relay and the same losses,
// and prints one markdown table of medians and ratios to the best peer. Usage: bench_loss [ROUNDS
// [MIB]]: a smaller file for a shorter run, since the peers wait out each loss for seconds.
#include "bench_support.h"
#include "lossy_relay.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The largest file plain TFTP carries (65535 blocks), so that every contender can carry it.
constexpr size_t largest = 65535u * 512u - 1u;
constexpr double loss = 0.01;

std::vector<std::string> tftp_hpa_get(const std::string& port, const std::string& out) {
    return {which("tftp"), "127.0.0.1", port, "-m", "binary", "-c", "get", "m32.bin", out};
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const size_t size = argc > 2 ? static_cast<size_t>(std::atoi(argv[2])) << 20 : largest;
    workspace w;
    const std::string content = random_bytes(std::min(size, largest), 13);
    std::ofstream(w.served / "m32.bin", std::ios::binary) << content;
    const std::string o = w.out.string();
    // A transfer whose last ACK was lost may still be running when the next contender asks.
    server_pair servers(w.served.string(),
                        {"--allow-download", "--extensions", "--max-transfers", "8"});

    struct contender {
        std::string name;
        uint16_t server;
        std::vector<std::string> (*command)(const std::string& port, const std::string& out);
    };
    const std::vector<contender> contenders = {
        {"pellcl from pellsd, lock step", servers.ours,
         [](const std::string& port, const std::string& out) {
             return std::vector<std::string>{PELLCL_PATH, "--get", "127.0.0.1:" + port, "m32.bin",
                                             out};
         }},
        {"pellcl from pellsd, 1468 x 16", servers.ours,
         [](const std::string& port, const std::string& out) {
             return std::vector<std::string>{
                 PELLCL_PATH, "--get", "127.0.0.1:" + port, "m32.bin", out,
                 "--blksize", "1468",  "--windowsize",      "16"};
         }},
        {"tftp-hpa from pellsd", servers.ours, tftp_hpa_get},
        {"tftp-hpa from tftpd-hpa", servers.theirs, tftp_hpa_get},
        {"curl from tftpd-hpa", servers.theirs,
         [](const std::string& port, const std::string& out) {
             return std::vector<std::string>{which("curl"), "-s", "-o", out,
                                             "tftp://127.0.0.1:" + port + "/m32.bin"};
         }},
    };

    results r;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < contenders.size(); ++i) {
            // Each round in another order, each contender with the same losses as the others.
            const contender& c = contenders[(i + static_cast<size_t>(round)) % contenders.size()];
            std::fprintf(stderr, "round %d of %d: %s\n", round + 1, rounds, c.name.c_str());
            lossy_relay relay(c.server, random_loss(loss, 1000u + static_cast<unsigned>(round)));
            const std::string got = o + "/got.bin";
            r.add(c.name, run(c.command(std::to_string(relay.port()), got), o));
            if (read_all(got) != content) {
                ++failures;
                std::fprintf(stderr, "%s: the file differs\n", c.name.c_str());
            }
            fs::remove(got);
        }
    }

    double best_peer =
        std::min(median(r.wall["tftp-hpa from tftpd-hpa"]), median(r.wall["curl from tftpd-hpa"]));
    std::printf("%s; %zu bytes through a relay that drops 1 %% of the datagrams either way.\n\n",
                measured_line(rounds).c_str(), content.size());
    std::printf("| Download | Wall | Against the best peer |\n|---|---|---|\n");
    for (const contender& c : contenders) {
        double wall = median(r.wall[c.name]);
        std::printf("| %s | %.1f s | %.2f |\n", c.name.c_str(), wall, wall / best_peer);
    }
    if (failures) std::printf("\n%d transfers did not deliver the file unchanged.\n", failures);
    return failures ? 1 : 0;
}
