// pellsd --headless on the wire: every reply of the request table to the byte, the filename
// policy's refusals, the access lists, the busy refusal and the post-upload command.
#include "lockstep.h"
#include "network_namespace.h"
#include "packet_expect.h"
#include "server_process.h"

#include <algorithm>
#include <csignal>
#include <arpa/inet.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::string error_packet(int code, const std::string& text) {
    return tftp_packet(5, code, text + '\0');
}

size_t transfers_closed(const server_process& server) {
    std::string trace = server.trace();
    size_t count = 0;
    for (size_t at = 0; (at = trace.find("net_close: ", at)) != std::string::npos; ++at)
        ++count;
    return count;
}

// Ends a transfer that an answer began (a short DATA is acknowledged, an ACK 0 gets an empty
// DATA) and waits until the server has closed it, so that it is free for the next request.
void finish(const server_process& server, const udp_peer& client, const datagram& answer,
            size_t closed_before) {
    if (answer.bytes.substr(0, 2) == tftp_packet(3, 0).substr(0, 2))
        client.send_to(answer.from_port, tftp_packet(4, 1));
    else if (answer.bytes.substr(0, 2) == tftp_packet(4, 0).substr(0, 2))
        client.send_to(answer.from_port, tftp_packet(3, 1));
    EXPECT_TRUE(wait_until([&] { return transfers_closed(server) > closed_before; }, 5000));
}

// The server's answer to one request from a fresh client, from its transfer port; the transfer
// it begins is ended at once.
datagram answer_to(const server_process& server, const std::string& request,
                   uint32_t from = 0x7f000001) {
    size_t closed = transfers_closed(server);
    udp_peer client(from);
    client.send_to(server.port(), request);
    auto got = client.receive(3000);
    if (!got) return {};
    EXPECT_NE(got->from_port, server.port());
    finish(server, client, *got, closed);
    return *got;
}

TEST(requests, every_refusal_of_the_table_to_the_byte) {
    server_process server({"--allow-download", "--allow-upload", "--no-overwrite"});
    write_file(server.root() + "/exists.bin", "x");
    write_file(server.root() + "/readonly.bin", "x");
    struct {
        std::string request, reply;
    } cases[] = {
        {tftp_request(1, "a.txt", "mail"), error_packet(4, "Mode isn't netascii or octet.")},
        {tftp_request(1, "a.txt", ""), error_packet(4, "Mode isn't netascii or octet.")},
        {tftp_request(1, "../a.txt", "octet"), error_packet(2, "File request failed.")},
        {tftp_request(1, " a.txt", "octet"), error_packet(2, "File request failed.")},
        {tftp_request(1, "", "octet"), error_packet(2, "File request failed.")},
        {tftp_request(2, "C:a.txt", "octet"), error_packet(2, "File request failed.")},
        {tftp_request(1, std::string(128, 'n'), "octet"), error_packet(2, "File request failed.")},
        {tftp_request(1, "a.txt", std::string(128, 'm')), error_packet(2, "File request failed.")},
        {tftp_request(1, "missing.bin", "octet"), error_packet(1, "File not found.")},
        {tftp_request(2, "exists.bin", "octet"),
         error_packet(2, "File overwrite permission denied.")},
        {tftp_request(1, ".", "octet"), error_packet(2, "Failed to open file.")},
        {tftp_request(2, "no/such/folder.bin", "octet"), error_packet(2, "Failed to open file.")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(answer_to(server, c.request).bytes, c.reply) << c.reply;
    EXPECT_EQ(answer_to(server, tftp_request(1, "a.txt", "mail")).bytes.size(), 34u);
    EXPECT_EQ(answer_to(server, tftp_request(1, "missing.bin", "octet")).bytes.size(), 20u);
}

TEST(requests, accepted_requests_answer_with_data_1_or_ack_0_in_any_case_of_mode) {
    server_process server({"--allow-download", "--allow-upload"});
    write_file(server.root() + "/a.txt", "hello");
    EXPECT_EQ(answer_to(server, tftp_request(1, "a.txt", "OcTeT")).bytes,
              tftp_packet(3, 1, "hello"));
    EXPECT_EQ(answer_to(server, tftp_request(2, "new.txt", "NETASCII")).bytes, tftp_packet(4, 0));
    EXPECT_EQ(answer_to(server, tftp_request(1, "sub/../a.txt", "octet")).bytes,
              error_packet(2, "File request failed."));
}

TEST(requests, refusals_of_the_permissions) {
    server_process closed;
    write_file(closed.root() + "/a.txt", "x");
    // Downloads forbidden: the same answer whether the file exists or not.
    EXPECT_EQ(answer_to(closed, tftp_request(1, "a.txt", "octet")).bytes,
              error_packet(2, "File download permission denied."));
    EXPECT_EQ(answer_to(closed, tftp_request(1, "missing", "octet")).bytes,
              error_packet(2, "File download permission denied."));
    EXPECT_EQ(answer_to(closed, tftp_request(2, "b.txt", "octet")).bytes,
              error_packet(2, "File upload permission denied."));

    server_process open({"--allow-upload"});
    write_file(open.root() + "/readonly.txt", "x");
    chmod((open.root() + "/readonly.txt").c_str(), 0444);
    EXPECT_EQ(answer_to(open, tftp_request(2, "readonly.txt", "octet")).bytes,
              error_packet(2, "Unable to write to the file."));
    EXPECT_EQ(read_file(open.root() + "/readonly.txt"), "x");
}

TEST(requests, a_request_without_its_nuls_is_not_answered_and_the_server_goes_on) {
    server_process server({"--allow-download"});
    write_file(server.root() + "/a.txt", "hello");
    udp_peer client;
    client.send_to(server.port(), std::string("\0\1a.txt", 7));
    expect_silence(client, 500);
    client.send_to(server.port(), std::string("\0\1a.txt\0octet", 13));
    expect_silence(client, 500);
    EXPECT_TRUE(server.trace_shows("recv_xRQ: Invalid filename was requested."));
    EXPECT_TRUE(server.trace_shows("recv_xRQ: Invalid mode requested."));
    EXPECT_EQ(answer_to(server, tftp_request(1, "a.txt", "octet")).bytes,
              tftp_packet(3, 1, "hello"));
}

// An upload writes beside the file it replaces: until its last block is on the disk the file is
// served as it was, and an upload that never ends leaves it so, with nothing beside it.
TEST(requests, an_unfinished_upload_leaves_the_file_as_it_was) {
    server_process server(
        {"--allow-download", "--allow-upload", "--timeout", "2", "--max-transfers", "2"});
    const std::string old = pattern_bytes(3000, 2);
    write_file(server.root() + "/firmware.bin", old);
    udp_peer writer;
    writer.send_to(server.port(), tftp_request(2, "firmware.bin", "octet"));
    uint16_t tid = expect_packet(writer, 4, 0).from_port;
    for (int block : {1, 2}) {
        writer.send_to(tid, tftp_packet(3, block, pattern_bytes(512, 9)));
        expect_packet(writer, 4, block);
    }
    udp_peer reader;
    reader.send_to(server.port(), tftp_request(1, "firmware.bin", "octet"));
    EXPECT_TRUE(take_blocks(reader, 0).wire == old);
    // Its row is said once the transfer has let its file go.
    ASSERT_TRUE(wait_until(
        [&] { return server.process().out().find("timed out\n") != std::string::npos; }, 30000));
    EXPECT_TRUE(read_file(server.root() + "/firmware.bin") == old);
    EXPECT_EQ(names_in(server.root()), std::vector<std::string>{"firmware.bin"});
}

// Refusing to overwrite holds to the end: a file that appears during the upload stays.
TEST(requests, no_overwrite_keeps_a_file_that_appears_during_the_upload) {
    server_process server({"--allow-upload", "--no-overwrite"});
    udp_peer writer;
    writer.send_to(server.port(), tftp_request(2, "new.bin", "octet"));
    uint16_t tid = expect_packet(writer, 4, 0).from_port;
    write_file(server.root() + "/new.bin", "appeared");
    writer.send_to(tid, tftp_packet(3, 1, "late"));
    EXPECT_EQ(next_bytes(writer), error_packet(6, "File already exists."));
    EXPECT_EQ(read_file(server.root() + "/new.bin"), "appeared");
    EXPECT_EQ(names_in(server.root()), std::vector<std::string>{"new.bin"});
}

// Windows boot loaders ask for \Boot\BCD: with --ignore-case a name that differs only in case
// finds its file, each part the first in sorted order of those that match.
TEST(requests, ignore_case_finds_a_file_named_in_another_case) {
    for (const bool ignoring : {false, true}) {
        std::vector<std::string> args = {"--allow-download"};
        if (ignoring) args.push_back("--ignore-case");
        server_process server(args);
        std::filesystem::create_directories(server.root() + "/boot");
        write_file(server.root() + "/boot/bcd", "lower");
        write_file(server.root() + "/boot/Bcd", "capital");
        EXPECT_EQ(answer_to(server, tftp_request(1, "\\Boot\\BCD", "octet"), 0x7f000001).bytes,
                  ignoring ? tftp_packet(3, 1, "capital") : error_packet(1, "File not found."));
    }
}

// A folder per client: its own file first, else the shared one; its uploads into its folder. By
// hardware address, a client the neighbour table does not know (loopback has no hardware
// address) gets the shared folder.
TEST(requests, a_client_folder_comes_before_the_shared_one) {
    for (const bool by_ip : {true, false}) {
        server_process server({"--allow-download", "--allow-upload", "--max-transfers", "8",
                               "--client-folders", by_ip ? "ip" : "mac"});
        std::filesystem::create_directories(server.root() + "/127.0.0.2");
        write_file(server.root() + "/127.0.0.2/boot.cfg", "own");
        write_file(server.root() + "/boot.cfg", "shared");
        for (const uint32_t client : {0x7f000002u, 0x7f000003u})
            EXPECT_EQ(answer_to(server, tftp_request(1, "boot.cfg", "octet"), client).bytes,
                      tftp_packet(3, 1, by_ip && client == 0x7f000002u ? "own" : "shared"));
        udp_peer writer(0x7f000002);
        writer.send_to(server.port(), tftp_request(2, "up.cfg", "octet"));
        EXPECT_TRUE(send_blocks(writer, expect_packet(writer, 4, 0).from_port, "up").completed);
        const std::string stored = server.root() + (by_ip ? "/127.0.0.2/up.cfg" : "/up.cfg");
        EXPECT_TRUE(wait_until([&] { return read_file(stored) == "up"; }, 5000)) << stored;
    }
}

// By hardware address, through a cable between two namespaces: the server finds the client's in
// its neighbour table, for IPv4 and IPv6 alike.
TEST(requests, a_client_folder_by_hardware_address_is_found_in_the_neighbour_table) {
    network_namespace server_side, client_side;
    if (!server_side.unavailable().empty()) GTEST_SKIP() << server_side.unavailable();
    ASSERT_TRUE(server_side.link_to(client_side, {"10.77.0.1/24", "fd77::1/64"},
                                    {"10.77.0.2/24", "fd77::2/64"}, "02:00:00:00:00:07"));
    server_process server({"--allow-download", "--client-folders", "mac"}, server_side.prefix());
    std::filesystem::create_directories(server.root() + "/01-02-00-00-00-00-07");
    write_file(server.root() + "/01-02-00-00-00-00-07/boot.cfg", "own");
    write_file(server.root() + "/boot.cfg", "shared");
    temp_folder_owner got;
    for (const char* address : {"10.77.0.1", "fd77::1"}) {
        std::vector<std::string> get = client_side.prefix();
        get.insert(get.end(), {program_path("tftp"), address, std::to_string(server.port()), "-m",
                               "binary", "-c", "get", "boot.cfg", got.file(address)});
        EXPECT_EQ(run_program(get, "/").status, 0) << address;
        EXPECT_EQ(read_file(got.file(address)), "own") << address;
    }
}

// A configuration backup keeps the files its uploads replace, the newest first, so many and no
// more.
TEST(requests, uploads_keep_the_versions_they_replace) {
    server_process server({"--allow-upload", "--keep-versions", "2"});
    for (const char* content : {"first", "second", "third", "fourth"}) {
        udp_peer writer;
        writer.send_to(server.port(), tftp_request(2, "r1.cfg", "octet"));
        EXPECT_TRUE(send_blocks(writer, expect_packet(writer, 4, 0).from_port, content).completed);
        ASSERT_TRUE(wait_until([&] { return read_file(server.root() + "/r1.cfg") == content; }, 5000));
    }
    EXPECT_EQ(names_in(server.root()), (std::vector<std::string>{"r1.cfg", "r1.cfg.1", "r1.cfg.2"}));
    EXPECT_EQ(read_file(server.root() + "/r1.cfg.1"), "third");
    EXPECT_EQ(read_file(server.root() + "/r1.cfg.2"), "second");
}

// Links beneath the root: one that stays inside works; one that leads out (to a file, a folder,
// through a chain, upwards) is refused as any name out of the root is, both ways; a link swapped
// during a transfer changes nothing of it, and the next request is judged anew.
TEST(requests, links_lead_nowhere_out_of_the_root) {
    server_process server({"--allow-download", "--allow-upload", "--max-transfers", "2"});
    const std::string root = server.root();
    write_file(root + "/inside.txt", "inside");
    std::filesystem::create_directories(root + "/sub/deeper");
    write_file(root + "/sub/a.txt", "in sub");
    for (auto [target, link] : {std::pair{"inside.txt", "/link_in"},
                                {"link_in", "/chain_in"},
                                {"sub", "/docs"},
                                {"/etc/hostname", "/link_out"},
                                {"link_out", "/chain_out"},
                                {"/etc", "/sub/etc"},
                                {"../../..", "/sub/deeper/up"}})
        std::filesystem::create_symlink(target, root + link);
    const std::string refused = error_packet(2, "File request failed.");
    const struct {
        int opcode;
        const char* name;
        std::string reply;
    } cases[] = {
        {1, "link_in", tftp_packet(3, 1, "inside")},
        {1, "chain_in", tftp_packet(3, 1, "inside")},
        {1, "docs/a.txt", tftp_packet(3, 1, "in sub")},
        {2, "docs/new.txt", tftp_packet(4, 0)},
        {1, "link_out", refused},
        {1, "chain_out", refused},
        {1, "sub/etc/hostname", refused},
        {1, "sub/deeper/up/etc/hostname", refused},
        {2, "sub/etc/pwn.txt", refused},
        {2, "chain_out", refused},
    };
    for (const auto& c : cases)
        EXPECT_EQ(answer_to(server, tftp_request(c.opcode, c.name, "octet")).bytes, c.reply)
            << c.name;
    EXPECT_FALSE(file_exists("/etc/pwn.txt"));
    EXPECT_TRUE(file_exists(root + "/sub/new.txt"));

    const std::string big = pattern_bytes(5000, 4);
    write_file(root + "/big.bin", big);
    std::filesystem::create_symlink("big.bin", root + "/swap");
    udp_peer reader;
    reader.send_to(server.port(), tftp_request(1, "swap", "octet"));
    datagram first = expect_packet(reader, 3, 1);
    std::filesystem::remove(root + "/swap");
    std::filesystem::create_symlink("/etc/passwd", root + "/swap");
    reader.send_to(first.from_port, tftp_packet(4, 1));
    EXPECT_TRUE(first.bytes.substr(4) + take_blocks(reader, first.from_port, 5000, 2).wire == big);
    EXPECT_EQ(answer_to(server, tftp_request(1, "swap", "octet")).bytes, refused);
}

TEST(requests, names_are_completed_with_their_root) {
    temp_folder_owner uploads;
    server_process server({"--allow-download", "--allow-upload", "--upload-root", uploads.path()});
    std::filesystem::create_directories(server.root() + "/docs");
    write_file(server.root() + "/docs/a.txt", "in docs");
    EXPECT_EQ(answer_to(server, tftp_request(1, "docs/a.txt", "octet")).bytes,
              tftp_packet(3, 1, "in docs"));
    EXPECT_EQ(answer_to(server, tftp_request(1, "docs\\a.txt", "octet")).bytes,
              tftp_packet(3, 1, "in docs"));
    EXPECT_EQ(answer_to(server, tftp_request(1, "/docs/a.txt", "octet")).bytes,
              tftp_packet(3, 1, "in docs"));

    EXPECT_EQ(answer_to(server, tftp_request(2, "up.txt", "octet")).bytes, tftp_packet(4, 0));
    EXPECT_TRUE(file_exists(uploads.file("up.txt")));
    EXPECT_FALSE(file_exists(server.root() + "/up.txt"));
}

// The fixture stores both directions unconfined; --root alone must confine them, and every form
// of a name that reaches outside the root is refused or taken below it.
TEST(requests, a_root_confines_its_directions_whatever_the_stored_settings_say) {
    temp_folder_owner elsewhere;
    write_file(elsewhere.file("secret.txt"), "SECRET");
    std::string outside = elsewhere.file("secret.txt");
    std::string backslashed = outside;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    server_process server({"--allow-download", "--allow-upload"});
    for (const std::string& name : {outside, "/" + outside, "\\" + backslashed, backslashed}) {
        datagram answer = answer_to(server, tftp_request(1, name, "octet"));
        EXPECT_EQ(answer.bytes.substr(0, 2), tftp_packet(5, 0).substr(0, 2)) << name;
        EXPECT_EQ(answer.bytes.find("SECRET"), std::string::npos) << name;
    }
    EXPECT_EQ(answer_to(server, tftp_request(2, outside, "octet")).bytes.substr(0, 2),
              tftp_packet(5, 0).substr(0, 2)); // its folders do not exist below the root
    EXPECT_EQ(read_file(outside), "SECRET");
    EXPECT_EQ(server.process().err().find("warning"), std::string::npos);
}

TEST(requests, no_root_restriction_reaches_outside_and_says_so_at_start) {
    temp_folder_owner elsewhere;
    write_file(elsewhere.file("secret.txt"), "SECRET");
    server_process server({"--allow-download", "--no-root-restriction"});
    EXPECT_EQ(answer_to(server, tftp_request(1, "//" + elsewhere.file("secret.txt"), "octet")).bytes,
              tftp_packet(3, 1, "SECRET"));
    EXPECT_NE(server.process().err().find("pellsd: warning: Uploads and downloads are not "
                                          "confined to a folder"),
              std::string::npos)
        << server.process().err();
}

// A client bound to another loopback address, so that the lists can tell clients apart.
constexpr uint32_t other_host = 0x7f000002;

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; ++at)
        ++count;
    return count;
}

void expect_served(const server_process& server, uint32_t from, bool served) {
    if (served) {
        EXPECT_EQ(answer_to(server, tftp_request(1, "a.txt", "octet"), from).bytes,
                  tftp_packet(3, 1, "x"));
        return;
    }
    // A refused sender gets nothing; the server traces the refusal as it drops the request.
    in_addr address{htonl(from)};
    std::string refusal = std::string("net_close: host = ") + inet_ntoa(address) + ", socket fd = -1.";
    size_t before = count_of(server.trace(), refusal);
    udp_peer client(from);
    client.send_to(server.port(), tftp_request(1, "a.txt", "octet"));
    EXPECT_TRUE(wait_until([&] { return count_of(server.trace(), refusal) > before; }, 5000));
    expect_silence(client, 0);
}

TEST(requests, the_access_lists_serve_only_the_listed_clients) {
    struct {
        std::vector<std::string> lists;
        bool first_served, second_served;
    } cases[] = {
        {{"--clients", "127.0.0.2"}, false, true},
        {{"--clients", "localhost"}, true, false}, // judged once the name has resolved
        {{"--client-ranges", "127.0.0.2 - 127.0.0.9"}, false, true},
        {{"--client-masks", "127.0.0.*"}, true, true},
        {{"--client-masks", "127.0.1.*"}, false, false},
        {{"--clients", ""}, false, false}, // empty lists refuse all
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--allow-download"};
        args.insert(args.end(), c.lists.begin(), c.lists.end());
        server_process server(args);
        write_file(server.root() + "/a.txt", "x");
        if (c.lists[1] == "localhost") {
            ASSERT_TRUE(server.trace_shows("Resolved host localhost."));
        }
        expect_served(server, 0x7f000001, c.first_served);
        expect_served(server, other_host, c.second_served);
        // The first turned away in a minute is said at once; the others wait for its count.
        EXPECT_EQ(count_of(server.process().out(), "which the access lists do not admit."),
                  c.first_served && c.second_served ? 0u : 1u);
    }
}

TEST(requests, a_second_client_is_refused_as_busy_while_a_transfer_runs) {
    server_process server({"--allow-download", "--clients", "127.0.0.1"});
    write_file(server.root() + "/big.bin", pattern_bytes(5000, 3));
    udp_peer first;
    std::string request = tftp_request(1, "big.bin", "octet");
    first.send_to(server.port(), request);
    datagram block = expect_packet(first, 3, 1);

    udp_peer second;
    second.send_to(server.port(), tftp_request(1, "other.bin", "octet"));
    auto busy = second.receive(5000);
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->bytes, error_packet(2, "The TFTP server is busy. Please try again soon."));
    EXPECT_EQ(busy->bytes.size(), 52u);
    EXPECT_NE(busy->from_port, server.port());
    EXPECT_NE(busy->from_port, block.from_port);
    second.send_to(server.port(), tftp_request(1, "other.bin", "octet"));
    EXPECT_EQ(expect_packet(second, 5, 2).from_port, busy->from_port); // no socket per refusal

    first.send_to(server.port(), request); // its own request again: its transfer runs already
    ASSERT_TRUE(server.trace_shows("came again; its transfer runs."));
    expect_silence(first, 0);
    second.send_to(server.port(), "x"); // no request at all: busy is no answer to it
    ASSERT_TRUE(server.trace_shows("Dropped 1 bytes from host 127.0.0.1 that are no request."));
    expect_silence(second, 0);
    udp_peer stranger(other_host); // not on the list: nothing at all
    stranger.send_to(server.port(), request);
    expect_silence(stranger, 500);
    EXPECT_TRUE(server.trace_shows(
        "TFTP_Refuserequests: Refused unauthorised request from host 127.0.0.2."));

    first.send_to(block.from_port, tftp_packet(4, 1));
    lockstep_outcome rest = take_blocks(first, block.from_port, 5000, 2);
    EXPECT_TRUE(rest.completed);
    EXPECT_TRUE(block.bytes.substr(4) + rest.wire == pattern_bytes(5000, 3));
}

// Boot firmware asks for its next file the moment it has acknowledged the last block of the one
// before: that request comes after the transfer has ended and must be served, every time. Only
// where loopback under load hands the request over before the ACK sent first (the two can leave
// from different processors) does the server take it for the running transfer's own, and the
// client asks again after a second, as firmware does: that is allowed a few times in the 1000.
TEST(requests, a_request_sent_with_the_final_ack_is_served_every_time) {
    server_process server({"--allow-download"});
    write_file(server.root() + "/next.bin", "n");
    std::string request = tftp_request(1, "next.bin", "octet");
    udp_peer client;
    client.send_to(server.port(), request);
    int served = 0, refused = 0, asked_again = 0;
    for (int i = 0; i < 1000; ++i) {
        auto answer = client.receive(1000);
        if (!answer) {
            ASSERT_LT(++asked_again, 10) << "the request sent with the final ACK is dropped";
            client.send_to(server.port(), request);
            answer = client.receive(5000);
        }
        ASSERT_TRUE(answer) << "no answer to request " << i << " even when asked again";
        if (answer->bytes == tftp_packet(3, 1, "n")) {
            ++served;
            client.send_both(answer->from_port, tftp_packet(4, 1), server.port(), request);
        } else {
            ++refused;
            client.send_to(server.port(), request);
        }
    }
    EXPECT_EQ(served, 1000);
    EXPECT_EQ(refused, 0);
}

TEST(requests, the_command_after_an_upload_gets_the_path_as_one_argument) {
    temp_folder_owner records;
    std::string record = records.file("record.txt");
    server_process server({"--allow-upload", "--allow-download", "--run",
                           std::string(RECORD_ARGS_PATH) + " " + record + " ?"});
    const std::string name = "my file;touch pwned.txt";
    udp_peer client;
    client.send_to(server.port(), tftp_request(2, name, "octet"));
    datagram ack = expect_packet(client, 4, 0);
    ASSERT_TRUE(send_blocks(client, ack.from_port, pattern_bytes(700, 5)).completed);
    ASSERT_TRUE(
        wait_until([&] { return read_file(record).find("size") != std::string::npos; }, 5000));
    std::string path = server.root() + "/" + name;
    EXPECT_EQ(read_file(record), path + "\nsize 700\n");
    EXPECT_FALSE(file_exists(server.root() + "/pwned.txt"));

    // Started before the final ACK went out.
    std::string trace = server.trace();
    size_t ran = trace.find("TFTP_RunExternal: Ran '");
    ASSERT_NE(ran, std::string::npos);
    EXPECT_LT(ran, trace.find("Sending ACK for block# 2."));

    // Nothing runs after a download: by the time its summary shows, a start would be traced.
    client.send_to(server.port(), tftp_request(1, name, "octet"));
    EXPECT_TRUE(take_blocks(client, 0).completed);
    ASSERT_TRUE(server.summaries_shown(2));
    trace = server.trace();
    EXPECT_EQ(trace.find("TFTP_RunExternal:", ran + 1), std::string::npos) << trace;
    EXPECT_EQ(read_file(record), path + "\nsize 700\n");
}

// A record of every request, a JSON object a line: served, refused, turned away by the access
// lists; after SIGHUP a rotated file goes on in a new one.
TEST(requests, every_request_is_recorded_as_a_line_of_json) {
    temp_folder_owner kept;
    const std::string records = kept.file("requests.json");
    server_process server({"--allow-download", "--extensions", "--clients", "127.0.0.1",
                           "--records", records});
    write_file(server.root() + "/a.txt", "x");
    udp_peer reader; // its OACK acknowledged, its one block taken
    reader.send_to(server.port(), tftp_request(1, "a.txt", "octet") + "blksize" + '\0' + "600" + '\0');
    const auto oack = reader.receive(5000);
    ASSERT_TRUE(oack);
    const uint16_t tid = oack->from_port;
    reader.send_to(tid, tftp_packet(4, 0));
    expect_packet(reader, 3, 1);
    reader.send_to(tid, tftp_packet(4, 1));
    answer_to(server, tftp_request(1, "missing.txt", "octet"));
    udp_peer stranger(0x7f000002);
    stranger.send_to(server.port(), tftp_request(1, "a.txt", "octet"));
    ASSERT_TRUE(wait_until([&] { return count_of(read_file(records), "\n") == 3; }, 5000))
        << read_file(records);
    const std::string all = read_file(records);
    for (const std::regex& line :
         {std::regex(R"(\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d","client":"127\.0\.0\.1",)"
                     R"("client_port":\d+,"server":"[^"]+","file":"a\.txt","served":"[^"]+/a\.txt",)"
                     R"("direction":"download","mode":"octet","options_asked":\{"blksize":600\},)"
                     R"("options_agreed":\{"blksize":600\},"bytes":1,"seconds":\d+\.\d{3},)"
                     R"("result":"completed","error":""\}\n)"),
          std::regex(R"("file":"missing\.txt".*"result":"refused","error":"File not found\."\})"),
          std::regex(R"("client":"127\.0\.0\.2".*"result":"ignored: not on the access lists",)"
                     R"("requests":1\})")})
        EXPECT_TRUE(std::regex_search(all, line)) << all;
    std::filesystem::rename(records, records + ".1");
    server.process().signal(SIGHUP);
    ASSERT_TRUE(wait_until(
        [&] { return server.process().out().find("read again.") != std::string::npos; }, 10000));
    answer_to(server, tftp_request(1, "a.txt", "octet"));
    EXPECT_TRUE(wait_until([&] { return count_of(read_file(records), "\n") == 1; }, 5000));
}

// As the service, a transfer's row goes to the journal as an entry that carries its record's
// fields, and only there. The journal is a socket of the test's own, in place of /run in a mount
// namespace of the server's own; its output is the journal's stream as systemd names it.
TEST(requests, as_the_service_a_transfer_goes_to_the_journal_with_its_fields) {
    if (geteuid() != 0) GTEST_SKIP() << "a /run of its own needs root";
    temp_folder_owner run;
    std::filesystem::create_directories(run.path() + "/systemd/journal");
    const int journal = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = run.path() + "/systemd/journal/socket";
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(journal, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    server_process server({"--allow-download"},
                          {program_path("unshare"), "-m", "sh", "-c",
                           "mount --bind " + run.path() + " /run && export JOURNAL_STREAM=$(stat "
                           "-L -c %d:%i /proc/$$/fd/1) && exec \"$0\" \"$@\""});
    write_file(server.root() + "/a.txt", "x");
    EXPECT_EQ(answer_to(server, tftp_request(1, "a.txt", "octet")).bytes, tftp_packet(3, 1, "x"));
    pollfd waiting{journal, POLLIN, 0};
    ASSERT_EQ(poll(&waiting, 1, 5000), 1);
    char entry[4096];
    const ssize_t got = recv(journal, entry, sizeof entry, 0);
    close(journal);
    const std::string fields(entry, static_cast<size_t>(std::max<ssize_t>(got, 0)));
    for (const char* field : {"MESSAGE=127.0.0.1 a.txt download 1 ", "TFTP_CLIENT=127.0.0.1\n",
                              "TFTP_FILE=a.txt\n", "TFTP_DIRECTION=download\n",
                              "TFTP_RESULT=completed\n", "SYSLOG_IDENTIFIER=pellsd\n"})
        EXPECT_NE(fields.find(field), std::string::npos) << field << " in " << fields;
    EXPECT_EQ(server.process().out().find("a.txt"), std::string::npos) << server.process().out();
}

// An operator's remap rules, on the wire: a Windows name, one answer per client for one
// well-known name, a refusal. A file that no longer reads on SIGHUP leaves the rules serving as
// they were, and keeps a server from starting at all.
TEST(requests, remap_rules_rewrite_the_names_asked_for) {
    temp_folder_owner kept;
    const std::string rules = kept.file("rules");
    write_file(rules, "rg \\\\ /\nr ^/\nr ^pxelinux\\.cfg/default$ pxelinux.cfg/\\i\nai \\.exe$\n");
    server_process server({"--allow-download", "--remap", rules});
    std::filesystem::create_directories(server.root() + "/Boot");
    std::filesystem::create_directories(server.root() + "/pxelinux.cfg");
    write_file(server.root() + "/Boot/BCD", "bcd");
    write_file(server.root() + "/pxelinux.cfg/127.0.0.2", "two");
    write_file(server.root() + "/pxelinux.cfg/127.0.0.3", "three");
    write_file(server.root() + "/setup.exe", "x");
    const std::string windows_name = tftp_request(1, "\\Boot\\BCD", "octet");
    EXPECT_EQ(answer_to(server, windows_name).bytes, tftp_packet(3, 1, "bcd"));
    for (const auto& [client, content] : {std::pair{0x7f000002u, "two"}, {0x7f000003u, "three"}})
        EXPECT_EQ(answer_to(server, tftp_request(1, "pxelinux.cfg/default", "octet"), client).bytes,
                  tftp_packet(3, 1, content));
    EXPECT_EQ(answer_to(server, tftp_request(1, "SETUP.EXE", "octet")).bytes,
              error_packet(2, "Access violation."));

    write_file(rules, "r (unclosed\n");
    const std::string why = "The remap rules in '" + rules +
                            "' cannot be used: line 1: the expression (unclosed: '(' has no ')'.";
    server.process().signal(SIGHUP);
    EXPECT_TRUE(wait_until(
        [&] { return server.process().err().find(why) != std::string::npos; }, 10000))
        << server.process().err();
    EXPECT_EQ(answer_to(server, windows_name).bytes, tftp_packet(3, 1, "bcd"));
    child_process refused(PELLSD_PATH,
                          {"--headless", "--port", std::to_string(free_udp_port()), "--remap", rules},
                          kept.path(), kept.path(), {"TMPDIR=" + kept.path()});
    EXPECT_EQ(refused.wait_exit(10000), 1);
    EXPECT_NE(refused.err().find(why), std::string::npos) << refused.err();
}

} // namespace
