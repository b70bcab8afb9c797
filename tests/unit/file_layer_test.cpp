// The local file of a transfer: netascii conversion in both directions across block
// boundaries, octet bytes unchanged, the checks at close, and what the server will open.
#include "diag/report.h"
#include "engine/file_layer.h"
#include "engine/packet.h"
#include "engine/transfer.h"
#include "engine_fixture.h"
#include "platform/confined_folder.h"
#include "server/server_controls.h"
#include "ui/test_backend.h"
#include "ui/ui.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace tftps_controls;

namespace {

class file_layer_test : public engine_test {
  protected:
    std::string path() const { return folder.file("file"); }

    // Reads the whole file for the wire in blocks of count bytes.
    std::vector<std::string> read_blocks(const std::string& content, int mode, int count = 512) {
        write_file(path(), content);
        transfer t;
        t.mode = mode;
        file_open(t, path(), "r", 0);
        std::vector<std::string> blocks;
        uint8_t buffer[512];
        for (;;) {
            int n = file_read(t, buffer, count);
            blocks.emplace_back(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
            if (n < count) break;
        }
        file_close(t);
        return blocks;
    }

    // Stores the wire blocks and closes the file; the stored bytes.
    std::string write_blocks(const std::vector<std::string>& blocks, int mode) {
        transfer t;
        t.mode = mode;
        file_open(t, path(), "w", 0);
        for (const std::string& b : blocks)
            file_write(t, reinterpret_cast<const uint8_t*>(b.data()), static_cast<int>(b.size()));
        file_close(t);
        return read_file(path());
    }

    // A write or close that the peer's bytes make fail; the status line's message.
    std::string peer_fault_of(const std::vector<std::string>& blocks) {
        transfer t;
        t.mode = MODE_NETASCII;
        file_open(t, path(), "w", 0);
        try {
            for (const std::string& b : blocks)
                file_write(t, reinterpret_cast<const uint8_t*>(b.data()),
                           static_cast<int>(b.size()));
            file_close(t);
        } catch (const transfer_ended&) {
            return ui_get_text(IDC_STATUS, 300);
        }
        return "no fault";
    }
};

TEST_F(file_layer_test, netascii_read_sends_line_ends_and_bare_crs_as_pairs) {
    EXPECT_EQ(read_blocks("a\nb", MODE_NETASCII)[0], "a\r\nb");
    EXPECT_EQ(read_blocks("a\rb", MODE_NETASCII)[0], std::string("a\r\0b", 4));
    EXPECT_EQ(read_blocks("x\r\n", MODE_NETASCII)[0], std::string("x\r\0\r\n", 5));
}

TEST_F(file_layer_test, netascii_read_carries_half_a_pair_into_the_next_block) {
    auto blocks = read_blocks(std::string(511, 'x') + "\n", MODE_NETASCII);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], std::string(511, 'x') + "\r");
    EXPECT_EQ(blocks[1], "\n");
}

TEST_F(file_layer_test, netascii_read_of_an_empty_file_ends_at_once_and_stays_ended) {
    write_file(path(), "");
    transfer t;
    t.mode = MODE_NETASCII;
    file_open(t, path(), "r", 0);
    uint8_t buffer[512];
    EXPECT_EQ(file_read(t, buffer, 512), 0);
    EXPECT_EQ(file_read(t, buffer, 512), 0);
    file_close(t);
}

TEST_F(file_layer_test, netascii_write_stores_the_local_line_end_and_bare_crs) {
    EXPECT_EQ(write_blocks({"a\r\nb"}, MODE_NETASCII), "a\nb");
    EXPECT_EQ(write_blocks({std::string("a\r\0b", 4)}, MODE_NETASCII), "a\rb");
    EXPECT_EQ(write_blocks({std::string("\n\0z", 3)}, MODE_NETASCII), std::string("\n\0z", 3));
    EXPECT_EQ(write_blocks({"ab\r", "\ncd\r", std::string("\0", 1)}, MODE_NETASCII), "ab\ncd\r");
}

TEST_F(file_layer_test, netascii_text_makes_the_round_trip_unchanged) {
    std::string text = "line one\nline two\r\nbare\rcr\n\n";
    auto wire = read_blocks(text, MODE_NETASCII, 7);
    EXPECT_EQ(write_blocks(wire, MODE_NETASCII), text);
}

TEST_F(file_layer_test, a_cr_before_any_other_byte_is_the_peers_fault) {
    EXPECT_EQ(peer_fault_of({"a\rb"}),
              "file_write: Invalid sequence received: CR followed by 0x62.");
    EXPECT_EQ(peer_fault_of({"a\r", "\xe9"}),
              "file_write: Invalid sequence received: CR followed by 0xe9.");
    EXPECT_TRUE(ui_test_boxes().empty()); // the server shows it without a box
}

TEST_F(file_layer_test, a_final_bare_cr_fails_at_close) {
    EXPECT_EQ(peer_fault_of({"abc\r"}), "file_close: Final character was a CR.");
}

TEST_F(file_layer_test, octet_moves_every_byte_value_unchanged) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    all += all + all; // 768 bytes: a full block and a part
    EXPECT_EQ(write_blocks({all.substr(0, 512), all.substr(512)}, MODE_OCTET), all);
    auto blocks = read_blocks(all, MODE_OCTET);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0] + blocks[1], all);
}

TEST_F(file_layer_test, opening_names_the_file_in_the_status_file_and_the_trace) {
    write_file(path(), "x");
    transfer t;
    ASSERT_TRUE(file_open(t, path(), "r", 0));
    EXPECT_EQ(read_file(folder.file("PYSStat.tmp")), path());
    EXPECT_NE(trace().find("file_open: opened " + path() + ", mode = r."), std::string::npos);
    file_close(t);
    EXPECT_NE(trace().find("file_close: Closed local file."), std::string::npos);
}

TEST_F(file_layer_test, the_server_opens_regular_files_only) {
    transfer t;
    EXPECT_FALSE(file_open(t, folder.path(), "r", 0));
    ASSERT_EQ(mkfifo(folder.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(file_open(t, folder.file("fifo"), "r", 0)); // and does not wait on it
    EXPECT_FALSE(file_open(t, folder.file("fifo"), "w", 0));
    EXPECT_FALSE(file_open(t, folder.file("missing/x"), "w", 0));

    use_role(client_like_role());
    EXPECT_TRUE(
        file_open(t, std::string("/dev/null"), "wb", 1)); // a client may download into a device
}

// Beneath a folder, the kernel's resolution and the walk of older kernels answer alike: a link
// that stays inside works, any way out is refused, an absolute link even to inside.
TEST_F(file_layer_test, names_beneath_a_folder_never_lead_out_of_it) {
    const std::string root = folder.file("root");
    std::filesystem::create_directories(root + "/sub");
    write_file(root + "/a.txt", "a");
    for (auto [target, link] : {std::pair{std::string("a.txt"), "/in"},
                                {"/etc/hostname", "/out"},
                                {"..", "/up"},
                                {"../a.txt", "/sub/back"},
                                {root + "/a.txt", "/sub/absolute"}})
        std::filesystem::create_symlink(target, root + link);
    const struct {
        const char* name;
        int error;
    } cases[] = {{"a.txt", 0},
                 {"in", 0},
                 {"sub/back", 0},
                 {"sub/../a.txt", 0},
                 {"out", EXDEV},
                 {"up/x", EXDEV},
                 {"../a.txt", EXDEV},
                 {"/etc/hostname", EXDEV},
                 {"sub/absolute", EXDEV},
                 {"missing", ENOENT}};
    confined_folder beneath(root);
    for (const auto& c : cases)
        for (bool walk : {false, true}) {
            int fd = walk ? beneath.open_by_walk(c.name, O_RDONLY) : beneath.open(c.name, O_RDONLY);
            EXPECT_EQ(fd >= 0 ? 0 : errno, c.error) << c.name << (walk ? " walked" : "");
            if (fd >= 0) close(fd);
        }
}

TEST_F(file_layer_test, an_unknown_mode_is_fatal) {
    write_file(path(), "x");
    transfer t;
    file_open(t, path(), "r", 0);
    t.mode = 7;
    EXPECT_FALSE(run_on_worker([&t] {
        uint8_t buffer[512];
        file_read(t, buffer, 512);
    }));
    ASSERT_FALSE(ui_test_boxes().empty());
    EXPECT_EQ(ui_test_boxes()[0].text, "file_read: Unknown MODE value.");
}

} // namespace
