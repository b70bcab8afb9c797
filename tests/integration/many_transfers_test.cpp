// A server that runs many transfers at once: side by side, each byte for byte, within its limits,
// counted on the status line and in the status file, and all ended by Disable.
#include "daemon_fixture.h"
#include "diag/status.h"
#include "packet_expect.h"
#include "platform/socket.h"
#include "server/daemon.h"
#include "server/server_controls.h"
#include "server/server_run.h"
#include "server/server_window.h"
#include "server/settings.h"
#include "settings_store.h"
#include "transfer_data.h"
#include "ui/test_backend.h"
#include "ui/ui.h"
#include "wait_until.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>
#include <vector>

using namespace tftps_controls;

namespace {

// One client of a lock-step transfer that the test moves a block at a time, so that every
// transfer is provably under way while the others are.
struct stepped_client {
    std::unique_ptr<udp_peer> peer;
    bool upload;
    std::string name, content, taken;
    uint16_t transfer_port = 0;
    int block = 0;
    bool done = false;
    std::string last; // the packet taken last

    stepped_client(bool up, std::string file, std::string bytes, uint32_t address = 0x7f000001)
        : peer(std::make_unique<udp_peer>(address)), upload(up), name(std::move(file)),
          content(std::move(bytes)) {}

    void request(uint16_t port) const {
        peer->send_to(port, tftp_request(upload ? 2 : 1, name, "octet"));
    }

    // Takes the server's next packet and answers it. One the server sent again, as its wait ran
    // out while the test moved the others, is passed over.
    void step() {
        std::optional<datagram> again;
        while ((again = peer->receive(5000)) && again->bytes == last) {
        }
        const std::string expected = tftp_packet(upload ? 4 : 3, upload ? block : block + 1);
        EXPECT_TRUE(again && again->bytes.substr(0, 4) == expected) << name << " " << block;
        if (!again) return void(done = true);
        datagram got = *again;
        last = got.bytes;
        transfer_port = got.from_port;
        if (upload) {
            if (block * 512 > static_cast<int>(content.size())) return void(done = true);
            ++block;
            peer->send_to(transfer_port,
                          tftp_packet(3, block, content.substr((block - 1) * 512, 512)));
        } else {
            ++block;
            taken += got.bytes.substr(4);
            peer->send_to(transfer_port, tftp_packet(4, block));
            done = got.bytes.size() < 516;
        }
    }
};

int open_descriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator()));
}

class many_transfers : public daemon_test {
  protected:
    void SetUp() override {
        daemon_test::SetUp();
        serve_settings([](server_settings& s) { s.MaxTransfers = 8; });
        write_file(root_file("shared.bin"), shared);
        write_file(root_file("other.bin"), pattern_bytes(2600, 2));
    }
    // The status line counts so, and then shows the pace the downloads' path allows.
    bool counts_show(const std::string& counts) const {
        const std::regex pace(R"( Window \d+ blocks?, pacing \d+\.\d MB/s\.)");
        return wait_until(
            [&] {
                const std::string line = status();
                return line.rfind(counts, 0) == 0 &&
                       std::regex_match(line.substr(counts.size()), pace);
            },
            10000);
    }
    std::string shared = pattern_bytes(3000, 1);
};

// An upload of the file the downloads read replaces it only once it is whole, and they read on
// the file they opened; a second upload of it meanwhile is refused.
TEST_F(many_transfers, downloads_and_uploads_of_the_same_and_other_files_run_side_by_side) {
    std::vector<stepped_client> clients;
    for (int i = 0; i < 3; ++i)
        clients.emplace_back(false, "shared.bin", shared);
    clients.emplace_back(false, "other.bin", read_file(root_file("other.bin")));
    clients.emplace_back(true, "shared.bin", pattern_bytes(2100, 3));
    clients.emplace_back(true, "up_b.bin", pattern_bytes(1536, 4));
    for (const auto& c : clients)
        c.request(port);
    for (auto& c : clients)
        c.step();
    // All six run now: the status file names each one's file, the status line counts them.
    std::string listed = read_file(status_file_path());
    for (const auto& c : clients)
        EXPECT_NE(listed.find(root_file(c.name)), std::string::npos) << listed;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 5) << listed;
    // Each download has read its second block, each upload taken its first.
    EXPECT_TRUE(counts_show("6 transfers, 4096 bytes sent, 1024 bytes received.")) << status();
    udp_peer second_writer;
    second_writer.send_to(port, tftp_request(2, "shared.bin", "octet"));
    EXPECT_EQ(
        next_bytes(second_writer),
        tftp_packet(5, 2, std::string("The file is being uploaded by another client.") + '\0'));

    for (bool moving = true; moving;) {
        moving = false;
        for (auto& c : clients)
            if (!c.done) {
                c.step();
                moving = true;
            }
    }
    for (const auto& c : clients)
        EXPECT_EQ(c.upload ? read_file(root_file(c.name)) : c.taken, c.content) << c.name;
    EXPECT_TRUE(wait_until([] { return transfers_running == 0; }, 5000));
    EXPECT_FALSE(file_exists(status_file_path()));
}

TEST_F(many_transfers, more_than_the_list_keeps_are_all_counted) {
    serve_settings([](server_settings& s) { s.MaxTransfers = s.MaxPerClient = 250; });
    std::vector<stepped_client> clients;
    for (int i = 0; i < 250; ++i) {
        clients.emplace_back(false, "shared.bin", "");
        clients.back().request(port);
        clients.back().step();
    }
    EXPECT_TRUE(counts_show("250 transfers, 256000 bytes sent.")) << status();
}

TEST_F(many_transfers, a_client_gets_its_share_and_the_request_beyond_the_limit_is_busy) {
    serve_settings([](server_settings& s) {
        s.MaxTransfers = 3;
        s.MaxPerClient = 2;
    });
    const std::string busy =
        tftp_packet(5, 2, std::string("The TFTP server is busy. Please try again soon.") + '\0');
    std::vector<stepped_client> clients;
    for (uint32_t address : {0x7f000001u, 0x7f000001u, 0x7f000001u, 0x7f000002u, 0x7f000003u})
        clients.emplace_back(false, "shared.bin", "", address);
    for (int i : {0, 1}) {
        clients[i].request(port);
        clients[i].step();
    }
    clients[2].request(port); // a third from the same address
    EXPECT_EQ(next_bytes(*clients[2].peer), busy);
    clients[0].request(port); // sent again: its transfer runs, no second one starts
    EXPECT_TRUE(wait_until(
        [&] { return trace().find("came again; its transfer runs.") != std::string::npos; }, 5000));
    EXPECT_EQ(transfers_running, 2);
    clients[3].request(port); // another address takes the last slot
    clients[3].step();
    clients[4].request(port);
    EXPECT_EQ(next_bytes(*clients[4].peer), busy);

    while (!clients[0].done)
        clients[0].step();
    clients[2].request(port); // a slot of its address is free again
    clients[2].step();
    EXPECT_EQ(clients[2].block, 1);
}

TEST_F(many_transfers, the_list_of_recent_transfers_shows_each_with_its_progress_or_outcome) {
    serve_settings([](server_settings& s) { s.MaxTransfers = 1; });
    auto rows = [] { return ui_test_rows(IDC_RECENT_TRANSFERS); };
    auto row_is = [&](size_t index, const std::string& pattern) {
        return wait_until(
            [&] {
                auto now = rows();
                return now.size() > index &&
                       std::regex_match(now[index], std::regex(R"(\d\d:\d\d:\d\d\t127\.0\.0\.1\t)" + pattern));
            },
            5000);
    };
    stepped_client running(false, "shared.bin", "");
    running.request(port);
    running.step(); // the server has read its second block: 1024 of 3000 bytes
    EXPECT_TRUE(row_is(0, R"(shared\.bin\tdownload\t1024\t\d+\.\d\trunning, 34%)")) << rows()[0];
    udp_peer busy;
    busy.send_to(port, tftp_request(1, "other.bin", "octet"));
    expect_packet(busy, 5, 2);
    while (!running.done)
        running.step();
    udp_peer refused;
    refused.send_to(port, tftp_request(1, "missing.bin", "octet"));
    expect_packet(refused, 5, 1);
    EXPECT_TRUE(row_is(0, R"(missing\.bin\tdownload\t0\t\d+\.\d\trefused: File not found\.)"));
    EXPECT_TRUE(row_is(1, R"(shared\.bin\tdownload\t3000\t\d+\.\d\tcompleted)")) << rows()[1];
    EXPECT_EQ(rows().size(), 2u); // a busy answer is counted, not listed
    EXPECT_EQ(ui_get_text(IDC_BUSY_ANSWERS, 60), "1 request answered busy");
}

TEST_F(many_transfers, disable_ends_every_transfer_and_closes_all_it_opened) {
    const int idle = open_descriptors();
    std::vector<stepped_client> clients;
    clients.emplace_back(false, "shared.bin", "");
    clients.emplace_back(false, "other.bin", "");
    clients.emplace_back(true, "up_c.bin", pattern_bytes(4000, 5));
    for (auto& c : clients) {
        c.request(port);
        c.step();
        c.step();
    }
    ASSERT_EQ(transfers_running, 3);
    server_disable();
    ASSERT_TRUE(daemon_wait_end(5000));
    clients.clear();
    EXPECT_EQ(transfers_running, 0);
    EXPECT_FALSE(holds_open(root()));
    EXPECT_FALSE(file_exists(status_file_path()));
    server_enable();
    ASSERT_TRUE(wait_readable(daemon_listening_event(), -1, 5000));
    EXPECT_EQ(open_descriptors(), idle);
    EXPECT_TRUE(serves_a_download());
}

} // namespace
