#include "network_namespace.h"

#include "child_process.h"
#include "temp_folder.h"

#include <filesystem>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool run_ip(const std::vector<std::string>& args) {
    std::vector<std::string> command = {"ip"};
    command.insert(command.end(), args.begin(), args.end());
    return run_program(command, "/", 10000).status == 0;
}

} // namespace

network_namespace::network_namespace()
    : name_("pelltest-" + std::to_string(getpid()) + "-" + std::to_string(rand() % 100000)) {
    if (geteuid() != 0) {
        unavailable_ = "network namespaces need root";
        return;
    }
    if (program_path("ip").empty()) {
        unavailable_ = "iproute2's ip is not installed";
        return;
    }
    added_ = run_ip({"netns", "add", name_});
    if (!added_) {
        unavailable_ = "ip netns add failed";
        return;
    }
    bool ready = run_ip({"-n", name_, "link", "set", "lo", "up"}) &&
                 run_ip({"-n", name_, "route", "add", "unreachable", "192.0.2.0/24"}) &&
                 run_ip({"-n", name_, "route", "add", "prohibit", "198.51.100.0/24"}) &&
                 run_ip({"-n", name_, "route", "add", "blackhole", "203.0.113.0/24"});
    if (!ready) unavailable_ = "the namespace's loopback or routes could not be set up";
}

network_namespace::~network_namespace() {
    if (added_) run_ip({"netns", "del", name_});
    std::error_code ignored;
    std::filesystem::remove_all("/etc/netns/" + name_, ignored);
}

bool network_namespace::use_name_server(const std::string& address) {
    // ip netns exec puts the namespace's own files over /etc's; one attempt, ten seconds.
    std::error_code failed;
    std::filesystem::create_directories("/etc/netns/" + name_, failed);
    if (failed) return false;
    write_file("/etc/netns/" + name_ + "/resolv.conf",
               "nameserver " + address + "\noptions timeout:10 attempts:1\n");
    return true;
}

bool network_namespace::link_to(const network_namespace& other,
                                const std::vector<std::string>& here,
                                const std::vector<std::string>& there, const std::string& hardware) {
    bool laid = run_ip({"-n", name_, "link", "add", "cable", "type", "veth", "peer", "name",
                        "cable", "netns", other.name_, "address", hardware});
    const std::pair<std::string, const std::vector<std::string>*> ends[] = {
        {name_, &here}, {other.name_, &there}};
    for (const auto& [space, addresses] : ends) {
        for (const std::string& address : *addresses)
            laid = laid && run_ip({"-n", space, "address", "add", address, "dev", "cable", "nodad"});
        laid = laid && run_ip({"-n", space, "link", "set", "cable", "up"});
    }
    return laid;
}

bool network_namespace::limit_rate(const std::string& rate) {
    return run_program({"tc", "-n", name_, "qdisc", "add", "dev", "lo", "root", "tbf", "rate", rate,
                        "burst", "64kb", "latency", "5s"},
                       "/", 10000)
               .status == 0;
}

std::vector<std::string> network_namespace::prefix() const {
    return {program_path("ip"), "netns", "exec", name_};
}

bool raw_sockets_usable() {
    int fd = socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
    if (fd >= 0) close(fd);
    return fd >= 0;
}

bool send_forged(const std::vector<std::string>& prefix, const std::string& from_address,
                 int from_port, int to_port, const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    std::vector<std::string> command = prefix;
    command.insert(command.end(), {SEND_DATAGRAM_PATH, from_address, std::to_string(from_port),
                                   "127.0.0.1", std::to_string(to_port), hex});
    return run_program(command, "/", 10000).status == 0;
}
