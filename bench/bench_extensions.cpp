// Measures the extensions on loopback, the contenders interleaved round by round: pellcl
// downloading 32 MiB from pellsd with a window of 16 blocks against curl downloading it from
// tftpd-hpa at the same block size (65464 and 1468 bytes), then 1 GiB both ways between our
// programs and with curl from tftpd-hpa: MB/s and processor seconds per GB of each side.
// Usage: bench_extensions [ROUNDS]
#include "bench_support.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t mib_32 = 32u << 20;
constexpr size_t gib_1 = 1u << 30;

// A large file made of one random mebibyte over and over: quick to write, and a misplaced block
// still shows.
void write_large(const fs::path& path, size_t size, const std::string& chunk) {
    std::ofstream out(path, std::ios::binary);
    for (size_t written = 0; written < size; written += chunk.size())
        out << chunk;
}

bool same_file(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(1 << 20), q(1 << 20);
    for (;;) {
        x.read(p.data(), static_cast<std::streamsize>(p.size()));
        y.read(q.data(), static_cast<std::streamsize>(q.size()));
        if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin()))
            return false;
        if (x.gcount() == 0) return true;
    }
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    workspace w;
    const fs::path &served = w.served, &out = w.out;
    std::string chunk = random_bytes(1 << 20, 11);
    write_large(served / "m32.bin", mib_32, chunk);
    write_large(served / "g1.bin", gib_1, chunk);

    const std::string s = served.string(), o = out.string();
    server_pair servers(s, {"--allow-download", "--allow-upload", "--extensions"});
    const uint16_t ours = servers.ours, theirs = servers.theirs;
    const pid_t pellsd = servers.pellsd;
    const std::string curl = which("curl");
    const std::string our_host = "127.0.0.1:" + std::to_string(ours);
    const std::string their_url = "tftp://127.0.0.1:" + std::to_string(theirs) + "/";
    int failures = 0;
    auto check = [&](const fs::path& got, const fs::path& expected, const std::string& what) {
        if (!same_file(got, expected)) {
            ++failures;
            std::fprintf(stderr, "%s: the file differs\n", what.c_str());
        }
        fs::remove(got);
    };

    results r;
    for (int round = 0; round < rounds; ++round) {
        std::fprintf(stderr, "round %d of %d\n", round + 1, rounds);
        for (const std::string block : {"65464", "1468"}) {
            std::vector<std::pair<std::string, std::vector<std::string>>> contenders = {
                {"pellcl " + block,
                 {PELLCL_PATH, "--get", our_host, "m32.bin", o + "/a", "--blksize", block,
                  "--windowsize", "16"}},
                {"curl " + block,
                 {curl, "-s", "--tftp-blksize", block, "-o", o + "/b", their_url + "m32.bin"}},
            };
            if (round % 2) std::swap(contenders[0], contenders[1]);
            for (auto& [name, command] : contenders) {
                r.add(name, run(command, o));
                check(name[0] == 'p' ? out / "a" : out / "b", served / "m32.bin", name);
            }
        }
    }

    // 1 GiB once each: our download and upload (the server's time is its own process's), and
    // curl from tftpd-hpa (the server's time is the machine's less curl's).
    struct large {
        std::string name;
        double wall, client_cpu, server_cpu;
    };
    std::vector<large> larges;
    auto ours_large = [&](const std::string& name, const std::vector<std::string>& command,
                          const fs::path& got) {
        double before = cpu_of(pellsd);
        measure m = run(command, o);
        larges.push_back({name, m.wall, m.cpu, cpu_of(pellsd) - before});
        check(got, served / "g1.bin", name);
    };
    ours_large("pellcl from pellsd, download",
               {PELLCL_PATH, "--get", our_host, "g1.bin", o + "/g", "--blksize", "65464",
                "--windowsize", "16"},
               out / "g");
    write_large(out / "up.bin", gib_1, chunk);
    ours_large("pellcl to pellsd, upload",
               {PELLCL_PATH, "--put", our_host, o + "/up.bin", "up.bin", "--blksize", "65464",
                "--windowsize", "16"},
               served / "up.bin");
    fs::remove(out / "up.bin");
    double busy = machine_busy();
    measure peer =
        run({curl, "-s", "--tftp-blksize", "65464", "-o", o + "/c", their_url + "g1.bin"}, o);
    larges.push_back(
        {"curl from tftpd-hpa, download", peer.wall, peer.cpu, machine_busy() - busy - peer.cpu});
    check(out / "c", served / "g1.bin", "curl 1 GiB");

    std::printf("%s; files of 32 MiB and 1 GiB on loopback.\n\n", measured_line(rounds).c_str());
    std::printf(
        "| 32 MiB download | pellcl from pellsd, window 16 | curl from tftpd-hpa | Ratio |\n"
        "|---|---|---|---|\n");
    for (const std::string block : {"65464", "1468"}) {
        double a = median(r.wall["pellcl " + block]), b = median(r.wall["curl " + block]);
        std::printf("| blksize %s: wall | %.3f s | %.3f s | %.2f |\n", block.c_str(), a, b, a / b);
    }
    std::printf("\n| 1 GiB, blksize 65464 | Wall | MB/s | Client CPU s/GB | Server CPU s/GB |\n"
                "|---|---|---|---|---|\n");
    const double gb = static_cast<double>(gib_1) / 1e9;
    for (const large& l : larges)
        std::printf("| %s | %.2f s | %.0f | %.2f | %.2f |\n", l.name.c_str(), l.wall,
                    gb * 1000 / l.wall, l.client_cpu / gb, l.server_cpu / gb);
    if (failures) std::printf("\n%d transfers did not deliver the file unchanged.\n", failures);
    return failures ? 1 : 0;
}
