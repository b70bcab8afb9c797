#include "fuzz_setup.h"

#include "engine/endpoint.h"
#include "platform/socket.h"
#include "ui/test_backend.h"

#include <cstdlib>
#include <filesystem>

namespace {

int sink = -1;

} // namespace

const std::string& fuzz_prepare(const role_profile& role) {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellfuzz.XXXXXX").string();
        std::string made = mkdtemp(pattern.data());
        std::filesystem::create_directories(made + "/root");
        setenv("TMPDIR", made.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (made + "/config").c_str(), 1);
        return made;
    }();
    ui_test_install();
    role_install(&role);
    if (sink < 0) {
        sink = sock_open_udp();
        sock_bind(sink, 0);
    }
    fuzz_transfer_socket();
    peer_addr = {0x7f000001, static_cast<uint16_t>(sock_local_port(sink))};
    peer_host = "127.0.0.1";
    return folder;
}

void fuzz_transfer_socket() {
    if (transfer_socket >= 0) return;
    transfer_socket = sock_open_udp();
    sock_bind(transfer_socket, 0);
    sock_set_nonblocking(transfer_socket, true);
}
