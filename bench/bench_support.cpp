#include "bench_support.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

std::string which(const std::string& name) {
    std::istringstream path(std::string(std::getenv("PATH") ? std::getenv("PATH") : "") +
                            ":/usr/sbin:/sbin");
    for (std::string folder; std::getline(path, folder, ':');)
        if (access((folder + "/" + name).c_str(), X_OK) == 0) return folder + "/" + name;
    return name;
}

pid_t spawn(const std::vector<std::string>& command, const std::string& folder) {
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs a client to its end: its wall time and its own processor time.
measure run(const std::vector<std::string>& command, const std::string& folder) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = spawn(command, folder);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measure m;
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
            usage.ru_stime.tv_usec / 1e6;
    return m;
}

// Processor time the whole machine has spent busy, in seconds. tftpd-hpa serves each transfer
// from a child whose time its parent never collects, so a server's time is measured for both
// servers alike: the machine's busy time during the transfer less the client's own.
double machine_busy() {
    std::ifstream in("/proc/stat");
    std::string cpu;
    double ticks = 0, value = 0;
    in >> cpu;
    for (int field = 0; field < 8 && in >> value; ++field)
        if (field != 3 && field != 4) ticks += value; // all but idle and iowait
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Processor time of a running process, in seconds.
double cpu_of(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(all.substr(all.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int udp_socket_bound(uint16_t* port) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t length = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length);
    *port = ntohs(sa.sin_port);
    return fd;
}

uint16_t free_port() {
    uint16_t port = 0;
    close(udp_socket_bound(&port));
    return port;
}

double idle_cpu(pid_t pid, int signal) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double before = cpu_of(pid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double spent = cpu_of(pid) - before;
    kill(pid, signal);
    waitpid(pid, nullptr, 0);
    return spent;
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string measured_line(int rounds) {
    utsname machine{};
    uname(&machine);
    std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d", std::localtime(&now));
    return "Measured " + std::string(date) + " on " +
           std::to_string(std::thread::hardware_concurrency()) + " cores, Linux " +
           machine.release + ", " + std::to_string(rounds) + " rounds, medians";
}

workspace::workspace()
    : work(std::filesystem::temp_directory_path() / ("pellbench." + std::to_string(getpid()))),
      served(work / "served"), out(work / "out") {
    for (const std::filesystem::path& p : {served, out, work / "config"})
        std::filesystem::create_directories(p);
    std::filesystem::permissions(served, std::filesystem::perms::all);
    setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
    setenv("TMPDIR", work.c_str(), 1);
}

workspace::~workspace() { std::filesystem::remove_all(work); }

server_pair::server_pair(const std::string& folder, const std::vector<std::string>& pellsd_options)
    : ours(free_port()), theirs(free_port()) {
    // As tftpd-hpa is (-u root): the benchmark's folders are root's.
    std::vector<std::string> command = {PELLSD_PATH, "--headless", "--port", std::to_string(ours),
                                        "--root",    folder,       "--user", "root"};
    command.insert(command.end(), pellsd_options.begin(), pellsd_options.end());
    pellsd = spawn(command, folder);
    tftpd = spawn({which("in.tftpd"), "-L", "-a", "127.0.0.1:" + std::to_string(theirs), "-s",
                   folder, "-c", "-p", "-u", "root"},
                  folder);
    std::this_thread::sleep_for(std::chrono::seconds(1));
}

server_pair::~server_pair() {
    kill(pellsd, SIGTERM);
    kill(tftpd, SIGTERM);
    waitpid(pellsd, nullptr, 0);
    waitpid(tftpd, nullptr, 0);
}

std::string random_bytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::mt19937 random(seed);
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}
