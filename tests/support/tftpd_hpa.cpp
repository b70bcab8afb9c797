#include "tftpd_hpa.h"

#include "udp_peer.h"

#include <csignal>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

tftpd_hpa::tftpd_hpa(const std::string& address) : address_(address), port_(free_udp_port()) {
    if (geteuid() != 0) {
        unavailable_ = "tftpd-hpa serves a folder by changing root into it, which needs root";
        return;
    }
    std::string program = program_path("in.tftpd");
    if (program.empty()) program = "/usr/sbin/in.tftpd";
    // It changes root into the folder and drops to the tftp user unless told to stay root.
    chmod(served.path().c_str(), 0777);
    child_ = std::make_unique<child_process>(
        program,
        std::vector<std::string>{"-L", "-a", host() + ":" + std::to_string(port_), "-s",
                                 served.path(), "-c", "-p", "-u", "root"},
        served.path(), logs.path());
    // Ready once it answers: a request for a missing file gets its ERROR.
    udp_peer probe(address);
    for (int i = 0; i < 50; ++i) {
        probe.send_to(address, port_, tftp_request(1, "probe-missing", "octet"));
        if (probe.receive(100)) return;
    }
    throw std::runtime_error("in.tftpd did not start");
}

tftpd_hpa::~tftpd_hpa() {
    if (!child_) return;
    child_->signal(SIGTERM);
    child_->wait_exit(5000);
}
