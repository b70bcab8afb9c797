#include "fuzz_setup.h"

#include "platform/socket.h"
#include "ui/test_backend.h"

#include <cstdlib>
#include <filesystem>

namespace {

int sink = -1;
int sender = -1;
role_profile fuzzed;

} // namespace

const std::string& fuzz_prepare(const role_profile& role) {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellfuzz.XXXXXX").string();
        std::string made = mkdtemp(pattern.data());
        std::filesystem::create_directories(made + "/root");
        setenv("TMPDIR", made.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (made + "/config").c_str(), 1);
        sink = sock_open_udp();
        sock_bind(sink, 0);
        sender = sock_open_udp();
        sock_bind(sender, 0);
        sock_set_nonblocking(sender, true);
        return made;
    }();
    ui_test_install();
    fuzzed = role;
    fuzzed.abort = [] { throw fuzz_fatal{}; };
    role_install(&fuzzed);
    return folder;
}

fuzz_transfer::fuzz_transfer() {
    socket = sender;
    peer = ipv4_endpoint(0x7f000001, static_cast<uint16_t>(sock_local_port(sink)));
    peer_host = "127.0.0.1";
}

fuzz_transfer::~fuzz_transfer() { socket = -1; }
