// Where pellsd listens and answers from, on the wire: both IP families at once or one, only the
// addresses named, an address that appears later, replies from the address the client used,
// the transfers' port range and its end; and pellcl trying a name's addresses in turn.
#include "network_namespace.h"
#include "packet_expect.h"
#include "server_process.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

const std::string request = tftp_request(1, "a.txt", "octet");

class network : public testing::Test {
  protected:
    // A server with these options serving a.txt.
    void serve(std::vector<std::string> args, const std::vector<std::string>& prefix = {}) {
        args.insert(args.begin(), "--allow-download");
        server = std::make_unique<server_process>(args, prefix);
        write_file(server->root() + "/a.txt", "x");
    }
    std::unique_ptr<server_process> server;
};

TEST_F(network, listens_on_both_families_at_once_and_on_one_when_told) {
    serve({});
    EXPECT_TRUE(server->trace_shows("Listening on 0.0.0.0:" + std::to_string(server->port()) +
                                    ", [::]:" + std::to_string(server->port()) + "."));
    for (const char* client_address : {"127.0.0.1", "::1"}) {
        udp_peer client(client_address);
        client.send_to(client_address, server->port(), request);
        datagram answer = expect_packet(client, 3, 1);
        EXPECT_EQ(answer.from_text, client_address); // plain dotted text for IPv4 clients
        EXPECT_TRUE(server->trace_shows(std::string("host ") + client_address + ", port# "));
        client.send_to(client_address, answer.from_port, tftp_packet(4, 1));
    }
    serve({"--ipv6"});
    udp_peer four("127.0.0.1");
    four.send_to("127.0.0.1", server->port(), request);
    expect_silence(four, 500);
    udp_peer six("::1");
    six.send_to("::1", server->port(), request);
    expect_packet(six, 3, 1);
}

// The machine has every address of 127.0.0.0/8; a request to the second is answered from it,
// a busy answer too.
TEST_F(network, answers_leave_from_the_address_the_request_came_to) {
    serve({});
    udp_peer first, second;
    first.send_to(server->port(), request, 0x7f000002);
    datagram data = expect_packet(first, 3, 1);
    EXPECT_EQ(data.from_text, "127.0.0.2");
    second.send_to(server->port(), request, 0x7f000003);
    datagram busy = expect_packet(second, 5, 2);
    EXPECT_EQ(busy.from_text, "127.0.0.3");
}

TEST_F(network, listens_only_on_the_addresses_named) {
    uint16_t own_port = free_udp_port();
    serve({"--address", "127.0.0.2,[::1]:" + std::to_string(own_port)});
    udp_peer client;
    client.send_to(server->port(), request, 0x7f000001);
    expect_silence(client, 500);
    client.send_to(server->port(), request, 0x7f000002);
    datagram data = expect_packet(client, 3, 1);
    EXPECT_EQ(data.from_text, "127.0.0.2");
    client.send_to(data.from_port, tftp_packet(4, 1), 0x7f000002);
    udp_peer six("::1");
    six.send_to("::1", own_port, request);
    expect_packet(six, 3, 1);
}

TEST_F(network, transfers_come_from_the_port_range_and_its_end_is_said) {
    uint16_t port = free_udp_port();
    serve({"--port-range", std::to_string(port) + ":" + std::to_string(port)});
    udp_peer client;
    // Refusals leave from the range too, or, with none of it free, from the listening port: a
    // firewall lets nothing else through.
    {
        udp_peer holder(0x7f000001, port); // the range's one port is taken
        client.send_to(server->port(), request);
        datagram refusal = expect_packet(client, 5, 0);
        EXPECT_EQ(refusal.bytes,
                  tftp_packet(5, 0, "No free transfer port." + std::string(1, '\0')));
        EXPECT_EQ(refusal.from_port, server->port());
    }
    client.send_to(server->port(), request); // the server listened on
    EXPECT_EQ(expect_packet(client, 3, 1).from_port, port);
    udp_peer second;
    second.send_to(server->port(), request);
    EXPECT_EQ(expect_packet(second, 5, 2).from_port, server->port()); // busy
}

// Inside a namespace of the test's own, where addresses can be added.
class network_namespace_test : public network {
  protected:
    void SetUp() override {
        if (!ns.unavailable().empty()) GTEST_SKIP() << ns.unavailable();
    }
    bool ip(const std::vector<std::string>& args) {
        std::vector<std::string> command = {"ip", "-n", ns.name()};
        command.insert(command.end(), args.begin(), args.end());
        return run_program(command, "/").status == 0;
    }
    run_result pellcl(const std::vector<std::string>& args) {
        std::vector<std::string> command = ns.prefix();
        command.push_back(PELLCL_PATH);
        command.insert(command.end(), args.begin(), args.end());
        return run_program(command, local.path());
    }
    network_namespace ns;
    temp_folder_owner local;
};

TEST_F(network_namespace_test, an_address_not_there_yet_is_waited_for_then_served) {
    serve({"--address", "10.9.9.9"}, ns.prefix());
    std::string port = std::to_string(server->port());
    EXPECT_TRUE(server->trace_shows("Waiting for 10.9.9.9 to appear on this machine."));
    ASSERT_TRUE(ip({"addr", "add", "10.9.9.9/32", "dev", "lo"}));
    run_result get = pellcl({"--get", "10.9.9.9:" + port, "a.txt", local.file("a.txt")});
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(read_file(local.file("a.txt")), "x");
}

TEST_F(network_namespace_test, a_second_ipv6_address_answers_from_itself) {
    ASSERT_TRUE(ip({"addr", "add", "fd00::2/128", "dev", "lo", "nodad"}));
    serve({}, ns.prefix());
    run_result get = pellcl({"--get", "[fd00::2]:" + std::to_string(server->port()), "a.txt",
                             local.file("a.txt"), "--log", local.file("trace.log")});
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_NE(read_file(local.file("trace.log")).find("got 5 bytes from host fd00::2,"),
              std::string::npos);
}

// A name whose first address answers nothing: the client goes on to the next after one wait.
TEST_F(network_namespace_test, the_client_tries_a_names_addresses_in_turn) {
    serve({"--ipv4"}, ns.prefix());
    std::filesystem::create_directories("/etc/netns/" + ns.name());
    write_file("/etc/netns/" + ns.name() + "/hosts", "::1 tftp.test\n127.0.0.1 tftp.test\n");
    run_result get = pellcl({"--get", "tftp.test:" + std::to_string(server->port()), "a.txt",
                             local.file("a.txt"), "--timeout", "2", "--log",
                             local.file("trace.log")});
    std::filesystem::remove_all("/etc/netns/" + ns.name());
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(read_file(local.file("a.txt")), "x");
    EXPECT_NE(read_file(local.file("trace.log"))
                  .find("net_open: No answer from ::1; trying 127.0.0.1."),
              std::string::npos);
}

} // namespace
