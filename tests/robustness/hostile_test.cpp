// Hostile and heavy traffic at pellsd: thousands of malformed datagrams from many ports and
// addresses, forged sources that no answer can reach, and a flood of requests during a long
// download. The server stays enabled, never reads or writes outside its root, and keeps serving.
#include "child_process.h"
#include "lockstep.h"
#include "network_namespace.h"
#include "packet_expect.h"
#include "peers.h"
#include "server_process.h"
#include "udp_peer.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

uint32_t loopback(int host) { return 0x7f000000u | static_cast<uint32_t>(host); }

// Every file the server opened, from its trace.
std::vector<std::string> opened_paths(const std::string& trace) {
    std::vector<std::string> paths;
    const std::string mark = "file_open: opened ";
    for (size_t at = 0; (at = trace.find(mark, at)) != std::string::npos; at += mark.size()) {
        size_t end = trace.find(", mode = ", at);
        paths.push_back(trace.substr(at + mark.size(), end - at - mark.size()));
    }
    return paths;
}

// A download that must eventually be served: a busy answer is tried again.
bool eventually_served(const server_process& server, const std::string& name,
                       const std::string& content) {
    return wait_until(
        [&] {
            udp_peer client;
            client.send_to(server.port(), tftp_request(1, name, "octet"));
            lockstep_outcome got = take_blocks(client, 0, 3000);
            return got.completed && got.wire == content;
        },
        30000);
}

std::string garbage(std::mt19937& random, size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// One hostile datagram of a kind chosen by the generator.
std::string hostile_datagram(std::mt19937& random, const std::string& outside) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::string traversal[] = {"../" + outside,          "..\\" + outside,       "/" + outside,
                               "//" + outside,           "\\\\host\\share\\x",   "C:" + outside,
                               "C:\\" + outside,         "sub/../../" + outside, " " + outside,
                               std::string("\x01") + "x"};
    switch (pick(10)) {
    case 0:
        return "";
    case 1:
        return garbage(random, 1 + pick(3));
    case 2: // any opcode with any length
        return tftp_packet(pick(8), pick(65536), garbage(random, static_cast<size_t>(pick(600))));
    case 3: // a request without its NULs
        return std::string("\0", 1) + static_cast<char>(1 + pick(2)) +
               std::string(1 + pick(40), 'n');
    case 4: // a name of a thousand characters
        return tftp_request(1 + pick(2), std::string(1000, 'a'), "octet");
    case 5: // options after the mode
        return tftp_request(1, "missing.bin", "octet") + "blksize" + '\0' + "1468" + '\0' +
               "tsize" + '\0' + "0" + '\0';
    case 6: // names that reach out of the root
        return tftp_request(1 + pick(2), traversal[pick(10)], pick(2) ? "octet" : "netascii");
    case 7:
        return tftp_packet(5, pick(9), garbage(random, static_cast<size_t>(pick(40))));
    case 8:
        return std::string(2000 + static_cast<size_t>(pick(3000)), '\3');
    default: // a request whose mode is garbage
        return tftp_request(1 + pick(2), "x", garbage(random, static_cast<size_t>(1 + pick(20))));
    }
}

TEST(hostile_peers, thousands_of_malformed_datagrams_leave_the_server_serving) {
    temp_folder_owner elsewhere;
    write_file(elsewhere.file("secret.txt"), "SECRET-CONTENT-0123456789");
    std::string outside = elsewhere.file("secret.txt").substr(1); // without its leading slash
    server_process server({"--allow-download", "--allow-upload", "--timeout", "2"});
    std::string probe = pattern_bytes(3000, 5);
    write_file(server.root() + "/probe.bin", probe);

    // A running transfer whose port the flood hits as well.
    udp_peer owner;
    owner.send_to(server.port(), tftp_request(1, "probe.bin", "octet"));
    uint16_t transfer_port = expect_packet(owner, 3, 1).from_port;
    ASSERT_NE(transfer_port, 0);

    std::mt19937 random(20261207);
    std::vector<std::unique_ptr<udp_peer>> senders;
    for (int host = 1; host <= 9; ++host)
        senders.push_back(std::make_unique<udp_peer>(loopback(host)));
    std::vector<std::string> answers;
    for (int i = 0; i < 4000; ++i) {
        const udp_peer& sender = *senders[static_cast<size_t>(i) % senders.size()];
        sender.send_to(i % 4 == 0 ? transfer_port : server.port(),
                       hostile_datagram(random, outside));
        if (i % 50 == 0) {
            for (auto& s : senders)
                while (auto got = s->receive(0))
                    answers.push_back(got->bytes);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    for (auto& s : senders)
        while (auto got = s->receive(200))
            answers.push_back(got->bytes);

    ASSERT_TRUE(server.process().running());
    EXPECT_EQ(server.process().out().find("TFTP server is disabled."), std::string::npos);
    for (const std::string& answer : answers)
        ASSERT_EQ(answer.find("SECRET-CONTENT"), std::string::npos);
    EXPECT_TRUE(eventually_served(server, "probe.bin", probe));
    for (const std::string& path : opened_paths(server.trace()))
        EXPECT_EQ(path.rfind(server.root() + "/", 0), 0u) << path;
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(elsewhere.path()))
        left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"secret.txt"});
}

// During a long download one address floods the server with requests, never waiting for an
// answer: it is answered at a bounded rate, its excess dropped and said; another client's every
// request is answered at once, a refused address hears nothing, and the download goes on.
TEST(load, a_flood_from_one_address_during_a_long_download_starves_no_one) {
    server_process server(
        {"--allow-download", "--clients", "127.0.0.1,127.0.0.3", "--timeout", "2"});
    std::string big = pattern_bytes(20u * 1024u * 1024u, 6);
    write_file(server.root() + "/big.bin", big);
    write_file(server.root() + "/small.bin", "small");
    temp_folder_owner local;
    std::vector<std::string> get =
        tftp_hpa(std::to_string(server.port()), "get", "big.bin", local.file("big.bin"));
    child_process download(program_path(get.front()), {get.begin() + 1, get.end()}, local.path(),
                           local.path());
    ASSERT_TRUE(wait_until(
        [&] { return server.trace().find("file_open: opened") != std::string::npos; }, 10000));

    udp_peer flood(loopback(1)), refused(loopback(2)), other(loopback(3));
    const std::string request = tftp_request(1, "small.bin", "octet");
    auto start = std::chrono::steady_clock::now();
    int other_answered = 0;
    for (int round = 0; round < 20; ++round) {
        flood.send_burst(server.port(), request, 1000);
        refused.send_burst(server.port(), request, 100);
        other.send_to(server.port(), request);
        other_answered += other.receive(5000) ? 1 : 0;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(other_answered, 20);
    // Answered busy or served: a burst of 1000, then 200 a second.
    const std::string trace = server.trace(), port = "port# " + std::to_string(flood.port()) + ".";
    int flood_answered = 0;
    for (size_t at = 0; (at = trace.find(port, at)) != std::string::npos; at += port.size())
        ++flood_answered;
    EXPECT_LE(flood_answered, 1000 + static_cast<int>(200 * (seconds + 1)));
    EXPECT_TRUE(wait_until(
        [&] {
            return server.process().out().find("requests from 127.0.0.1, which sent more than "
                                               "200 a second.") != std::string::npos;
        },
        5000));
    EXPECT_FALSE(refused.receive(500)); // not one answer to a refused address
    EXPECT_EQ(download.wait_exit(120000), 0);
    EXPECT_TRUE(read_file(local.file("big.bin")) == big);
}

TEST(forged_sources, datagrams_from_port_0_are_dropped_and_the_server_serves_on) {
    if (!raw_sockets_usable())
        GTEST_SKIP() << "a source port of 0 takes a raw socket, which needs CAP_NET_RAW";
    server_process server({"--allow-download", "--timeout", "2"});
    std::string probe = pattern_bytes(3000, 5);
    write_file(server.root() + "/probe.bin", probe);
    std::string request = tftp_request(1, "probe.bin", "octet");
    ASSERT_TRUE(send_forged({}, "127.0.0.1", 0, server.port(), request));
    EXPECT_TRUE(
        server.trace_shows("tftp_listen: Dropped a datagram from port 0 of host 127.0.0.1."));

    udp_peer owner; // and to the port of a running transfer
    owner.send_to(server.port(), request);
    datagram first = expect_packet(owner, 3, 1);
    ASSERT_TRUE(send_forged({}, "127.0.0.1", 0, first.from_port, tftp_packet(4, 1)));
    EXPECT_TRUE(server.trace_shows("net_recv: Received from 127.0.0.1, port 0,"));
    owner.send_to(first.from_port, tftp_packet(4, 1));
    lockstep_outcome rest = take_blocks(owner, first.from_port, 5000, 2);
    EXPECT_TRUE(rest.completed && first.bytes.substr(4) + rest.wire == probe);
    EXPECT_EQ(server.process().out().find("TFTP server is disabled."), std::string::npos);
}

// A forged ERROR from one transfer's port to another's, or to its own, is answered by neither:
// two ports of the server never talk to each other, and both transfers go on.
TEST(forged_sources, an_error_between_transfer_ports_is_never_answered) {
    if (!raw_sockets_usable()) GTEST_SKIP() << "a forged source takes a raw socket";
    server_process server({"--allow-download", "--max-transfers", "2", "--timeout", "2"});
    std::string probe = pattern_bytes(3000, 5);
    write_file(server.root() + "/probe.bin", probe);
    udp_peer a, b;
    datagram first[2];
    for (udp_peer* client : {&a, &b})
        client->send_to(server.port(), tftp_request(1, "probe.bin", "octet"));
    first[0] = expect_packet(a, 3, 1);
    first[1] = expect_packet(b, 3, 1);
    const std::string unknown = tftp_packet(5, 5, std::string("Unknown transfer ID.") + '\0');
    for (uint16_t to : {first[1].from_port, first[0].from_port})
        ASSERT_TRUE(send_forged({}, "127.0.0.1", first[0].from_port, to, unknown));
    const std::string stray =
        "net_recv: Received from 127.0.0.1, port " + std::to_string(first[0].from_port) + ",";
    ASSERT_TRUE(server.trace_shows(stray));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string trace = server.trace();
    size_t strays = 0;
    for (size_t at = 0; (at = trace.find(stray, at)) != std::string::npos; ++at)
        ++strays;
    EXPECT_EQ(strays, 2u);
    for (int i = 0; i < 2; ++i) {
        udp_peer& client = i == 0 ? a : b;
        client.send_to(first[i].from_port, tftp_packet(4, 1));
        lockstep_outcome rest = take_blocks(client, first[i].from_port, 5000, 2);
        EXPECT_TRUE(rest.completed && first[i].bytes.substr(4) + rest.wire == probe);
    }
}

// Inside a namespace of the test's own, requests come from addresses that no answer can reach;
// each ends at most its own transfer or busy answer, with the system's reason traced.
TEST(unroutable_peers, end_only_their_own_transfer_or_busy_answer) {
    network_namespace ns;
    if (!ns.unavailable().empty()) GTEST_SKIP() << ns.unavailable();
    server_process server({"--allow-download", "--timeout", "2"}, ns.prefix());
    std::string probe = pattern_bytes(3000, 6);
    write_file(server.root() + "/probe.bin", probe);
    std::string request = tftp_request(1, "probe.bin", "octet");
    const struct {
        const char* address;
        const char* reason;
    } sources[] = {{"192.0.2.7", "No route to host"},
                   {"198.51.100.7", "Permission denied"},
                   {"203.0.113.7", "Invalid argument"},
                   {"100.64.0.7", "Network is unreachable"}};
    for (const auto& source : sources) {
        ASSERT_TRUE(send_forged(ns.prefix(), source.address, 1234, server.port(), request));
        EXPECT_TRUE(server.trace_shows(
            std::string("net_send: An error occurred with sendto() on the socket. (") +
            source.reason + ")"))
            << source.address;
    }
    std::vector<std::string> get = ns.prefix();
    get.insert(get.end(), {PELLCL_PATH, "--get", "127.0.0.1:" + std::to_string(server.port()),
                           "probe.bin", server.logs.file("got.bin")});
    EXPECT_EQ(run_program(get, server.logs.path()).status, 0);
    EXPECT_TRUE(read_file(server.logs.file("got.bin")) == probe);

    // A client that has gone: the network says so, and its transfer ends at once.
    ASSERT_TRUE(send_forged(ns.prefix(), "127.0.0.1", 5555, server.port(), request));
    EXPECT_TRUE(server.trace_shows("net_recv: A recvfrom error occurred while attempting to "
                                   "receive. (Connection refused)"));
    // One that is there and silent (a server that takes DATA for no request) keeps the server
    // busy while its waits run out.
    server_process silent({}, ns.prefix());
    ASSERT_TRUE(send_forged(ns.prefix(), "127.0.0.1", silent.port(), server.port(), request));
    ASSERT_TRUE(server.trace_shows("port# " + std::to_string(silent.port()) + "."));
    ASSERT_TRUE(send_forged(ns.prefix(), "192.0.2.7", 1234, server.port(), request));
    EXPECT_TRUE(server.trace_shows(
        "TFTP_Refuserequests: Could not answer host 192.0.2.7, port# 1234: No route to host."));
    EXPECT_TRUE(server.process().running());
    EXPECT_EQ(server.process().out().find("TFTP server is disabled."), std::string::npos);
}

TEST(unroutable_peers, end_the_clients_transfer_with_the_reason) {
    network_namespace ns;
    if (!ns.unavailable().empty()) GTEST_SKIP() << ns.unavailable();
    temp_folder_owner local;
    std::vector<std::string> get = ns.prefix();
    get.insert(get.end(), {PELLCL_PATH, "--get", "192.0.2.1", "a.bin"});
    run_result run = run_program(get, local.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("net_send: A send error occurred while attempting to transmit. (No "
                           "route to host)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Error:"), std::string::npos) << run.err; // no fatal box
}

// The machine turns hostile: a full disk, a clock past 2^32 milliseconds, a name server that
// never answers, a link slower than a window. Each costs at most the transfer it meets.
TEST(hostile_environment, a_full_disk_ends_the_upload_only_and_leaves_the_file_as_it_was) {
    temp_folder_owner disk;
    if (geteuid() != 0 ||
        run_program({"mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", disk.path()}, "/").status)
        GTEST_SKIP() << "a small file system of the test's own needs root";
    struct unmount {
        std::string path;
        ~unmount() { run_program({"umount", "-l", path}, "/"); }
    } mounted{disk.path()};
    server_process server({"--allow-download", "--allow-upload", "--root", disk.path()});
    write_file(disk.file("config.txt"), "old config");
    udp_peer client;
    client.send_to(server.port(), tftp_request(2, "config.txt", "octet"));
    datagram ack = expect_packet(client, 4, 0);
    lockstep_outcome sent = send_blocks(client, ack.from_port, pattern_bytes(200 * 1024, 7));
    EXPECT_EQ(sent.error, "Disk full or allocation exceeded.");
    EXPECT_EQ(read_file(disk.file("config.txt")), "old config");
    EXPECT_EQ(names_in(disk.path()), std::vector<std::string>{"config.txt"});
    EXPECT_TRUE(eventually_served(server, "config.txt", "old config"));
}

TEST(hostile_environment, the_clock_passing_2_to_the_32_milliseconds_stops_nothing) {
    if (geteuid() != 0) GTEST_SKIP() << "a time namespace needs root";
    // The server's monotonic clock reaches 2^32 ms two seconds after it starts.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long offset = 4294967L - now.tv_sec - 2;
    server_process server({"--allow-download"},
                          {program_path("unshare"), "--time", "--monotonic", std::to_string(offset),
                           "--fork", "--kill-child=SIGTERM"});
    write_file(server.root() + "/a.bin", "served");
    auto server_clock_ms = [offset] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return (t.tv_sec + offset) * 1000L + t.tv_nsec / 1000000L;
    };
    int served = 0;
    while (server_clock_ms() < 4294967296L + 1500L) {
        ASSERT_TRUE(eventually_served(server, "a.bin", "served")) << "after " << served;
        ++served;
    }
    EXPECT_TRUE(server.process().running());
}

TEST(hostile_environment, a_name_server_that_never_answers_holds_no_request) {
    network_namespace ns;
    if (!ns.unavailable().empty()) GTEST_SKIP() << ns.unavailable();
    ASSERT_TRUE(ns.use_name_server("203.0.113.53")); // a black hole: it takes ten seconds
    // A client that only the mask admits, after the name has been looked at.
    server_process server(
        {"--allow-download", "--clients", "slow-name.example", "--client-masks", "127.0.0.*"},
        ns.prefix());
    const std::string content = pattern_bytes(100 * 1024, 8);
    write_file(server.root() + "/a.bin", content);
    for (int i = 0; i < 3; ++i) {
        std::vector<std::string> get = ns.prefix();
        get.insert(get.end(), {PELLCL_PATH, "--get", "127.0.0.1:" + std::to_string(server.port()),
                               "a.bin", server.logs.file("got.bin")});
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(run_program(get, server.logs.path()).status, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    EXPECT_TRUE(read_file(server.logs.file("got.bin")) == content);
}

TEST(hostile_environment, a_link_slower_than_a_window_only_slows_the_transfer) {
    network_namespace ns;
    if (!ns.unavailable().empty()) GTEST_SKIP() << ns.unavailable();
    if (!ns.limit_rate("200mbit")) GTEST_SKIP() << "tc cannot limit the namespace's loopback";
    // The sender runs as a service does, unable to raise its buffers beyond the system's limit,
    // towards a receiver that can and asks for a large window: the get from pellsd, the put to it.
    std::vector<std::string> unprivileged = ns.prefix();
    unprivileged.insert(unprivileged.end(), {program_path("setpriv"), "--bounding-set=-net_admin"});
    const std::string content = pattern_bytes(32u << 20, 9);
    for (bool get : {true, false}) {
        server_process server(
            {"--allow-download", "--allow-upload", "--extensions", "--max-windowsize", "512"},
            get ? unprivileged : ns.prefix());
        write_file(server.root() + "/big.bin", content);
        write_file(server.logs.file("big.bin"), content);
        std::vector<std::string> run = get ? ns.prefix() : unprivileged;
        run.insert(run.end(), {PELLCL_PATH, get ? "--get" : "--put",
                               "127.0.0.1:" + std::to_string(server.port()), "big.bin",
                               get ? "got.bin" : "up.bin", "--blksize", "65464", "--windowsize",
                               "512", "--timeout", "5"});
        run_result r = run_program(run, server.logs.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(read_file(get ? server.logs.file("got.bin") : server.root() + "/up.bin") ==
                    content);
    }
}

} // namespace
