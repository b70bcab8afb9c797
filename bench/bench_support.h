// What every benchmark here needs: programs started and timed, the machine's busy time, free
// ports, medians, and the interleaved results of the contenders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

struct measure {
    double wall = 0, cpu = 0;
};

// The full path of a program on PATH (or in the system folders); the name when none is found.
std::string which(const std::string& name);
// Starts a program in folder with its output thrown away.
pid_t spawn(const std::vector<std::string>& command, const std::string& folder);
// Runs a client to its end: its wall time and its own processor time.
measure run(const std::vector<std::string>& command, const std::string& folder);
// Processor time the whole machine has spent busy, in seconds. tftpd-hpa serves each transfer
// from a child whose time its parent never collects, so a server's time is measured for both
// servers alike: the machine's busy time during the transfer less the client's own.
double machine_busy();
// Processor time of a running process, in seconds.
double cpu_of(pid_t pid);
// A UDP socket bound to a port of the system's choice, which port says.
int udp_socket_bound(uint16_t* port);
uint16_t free_port();
// The processor time a started program spends in ten seconds of idling, a second after its
// start; then it is ended with signal.
double idle_cpu(pid_t pid, int signal);
std::string read_all(const std::string& path);
// size bytes of a random sequence that seed picks.
std::string random_bytes(size_t size, unsigned seed);
double median(std::vector<double> values);

struct results {
    std::map<std::string, std::vector<double>> wall, cpu;
    void add(const std::string& key, measure m) {
        wall[key].push_back(m.wall);
        cpu[key].push_back(m.cpu);
    }
};

// "Measured 2026-12-07 on 2 cores, Linux 6.1.0, 7 rounds, medians"
std::string measured_line(int rounds);

// A benchmark's own folders under the temporary folder: served (open to tftpd-hpa's user), out,
// and the settings store the programs are pointed at; all removed at the end.
struct workspace {
    std::filesystem::path work, served, out;
    workspace();
    ~workspace();
};

// pellsd --headless (with the given options) and tftpd-hpa serving the same folder side by side
// on loopback, both stopped at the end.
struct server_pair {
    uint16_t ours, theirs;
    pid_t pellsd, tftpd;
    server_pair(const std::string& folder, const std::vector<std::string>& pellsd_options);
    ~server_pair();
};
