// pellcl --get and --put as a process: its exit status, its status lines and its messages.
#include "lockstep.h"
#include "packet_expect.h"
#include "server_process.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class pellcl : public testing::Test {
  protected:
    run_result run(std::vector<std::string> args) {
        args.insert(args.begin(), PELLCL_PATH);
        return run_program(args, local.path(), 60000);
    }
    temp_folder_owner local;
};

TEST_F(pellcl, gets_and_puts_against_pellsd) {
    server_process server({"--allow-download", "--allow-upload", "--extensions"});
    write_file(server.root() + "/remote.bin", pattern_bytes(3000, 1));
    std::string host = "127.0.0.1:" + std::to_string(server.port());
    run_result get = run({"--get", host, "remote.bin", "--verbose"}); // into the current folder
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_TRUE(read_file(local.file("remote.bin")) == pattern_bytes(3000, 1));
    EXPECT_NE(get.out.find("Commencing file download..."), std::string::npos) << get.out;
    EXPECT_NE(get.out.find("3000 bytes received in"), std::string::npos) << get.out;

    write_file(local.file("up.txt"), "line\n");
    run_result put = run({"--put", "127.0.0.1", local.file("up.txt"), "--port",
                          std::to_string(server.port()), "--ascii"});
    EXPECT_EQ(put.status, 0) << put.err;
    EXPECT_NE(put.out.find("6 bytes transmitted in"), std::string::npos) << put.out;
    EXPECT_EQ(put.out.find("Sending"), std::string::npos) << put.out; // the steps when asked only
    ASSERT_TRUE(server.summaries_shown(2));
    EXPECT_EQ(read_file(server.root() + "/up.txt"), "line\n");

    // tftp://HOST:PORT/FILE in place of HOST and REMOTE, both ways.
    EXPECT_EQ(run({"--get", "tftp://" + host + "/remote.bin", local.file("url.bin")}).status, 0);
    EXPECT_TRUE(read_file(local.file("url.bin")) == pattern_bytes(3000, 1));
    EXPECT_EQ(run({"--put", "tftp://" + host + "/url-up.bin", local.file("url.bin")}).status, 0);
    ASSERT_TRUE(server.summaries_shown(4));
    EXPECT_TRUE(read_file(server.root() + "/url-up.bin") == pattern_bytes(3000, 1));

    // "-": standard output and input (of a size not told), the counts on standard error.
    const std::string pellcl = std::string(PELLCL_PATH) + " ";
    run_result piped = run_program({"sh", "-c", pellcl + "--get " + host + " remote.bin -"}, "/");
    EXPECT_TRUE(piped.out == pattern_bytes(3000, 1));
    EXPECT_NE(piped.err.find("3000 bytes received in"), std::string::npos) << piped.err;
    piped = run_program({"sh", "-c", "printf piped | " + pellcl + "--put " + host + " - in.txt"}, "/");
    EXPECT_EQ(piped.status, 0) << piped.err;
    ASSERT_TRUE(server.summaries_shown(6));
    EXPECT_EQ(read_file(server.root() + "/in.txt"), "piped");
}

// On a terminal one line counts the transfer, redrawn in place; into a file, plain lines.
TEST_F(pellcl, draws_its_meter_on_a_terminal_only) {
    server_process server({"--allow-download", "--extensions"});
    write_file(server.root() + "/image.bin", pattern_bytes(70000, 4));
    std::string get = std::string(PELLCL_PATH) + " --get 127.0.0.1:" +
                      std::to_string(server.port()) + " image.bin --blksize 512";
    run_result on_terminal = run_program({"script", "-qec", get, "/dev/null"}, local.path(), 60000);
    EXPECT_EQ(on_terminal.status, 0) << on_terminal.err;
    EXPECT_TRUE(std::regex_search(
        on_terminal.out,
        std::regex(R"(\r70,000 of 70,000 bytes, 100%, \d+(\.\d)? [kM]?B/s\x1b\[K\r\x1b\[K)")))
        << on_terminal.out;
    // A server that never answers: no count is drawn before a block has come.
    udp_peer silent;
    run_result waiting = run_program({"script", "-qec",
                                      std::string(PELLCL_PATH) + " --get 127.0.0.1:" +
                                          std::to_string(silent.port()) + " a.bin --timeout 2",
                                      "/dev/null"},
                                     local.path(), 60000);
    EXPECT_EQ(waiting.out.find("bytes"), std::string::npos) << waiting.out;
    EXPECT_EQ(on_terminal.out.find("bytes received.\r"), std::string::npos); // no count lines
    run_result into_file = run({"--get", "127.0.0.1:" + std::to_string(server.port()),
                                "image.bin", "--blksize", "512"});
    EXPECT_EQ(into_file.out.find('\r'), std::string::npos) << into_file.out;
}

TEST_F(pellcl, a_refused_request_fails_with_the_error_text_and_leaves_the_local_file) {
    server_process server({"--allow-download"});
    write_file(local.file("precious.txt"), "precious");
    run_result get =
        run({"--get", "127.0.0.1:" + std::to_string(server.port()), "missing.bin", "precious.txt"});
    EXPECT_EQ(read_file(local.file("precious.txt")), "precious");
    EXPECT_EQ(names_in(local.path()), std::vector<std::string>{"precious.txt"});
    EXPECT_EQ(get.status, 1);
    EXPECT_NE(get.err.find("Transfer error: Error code 1: The file was not located on the server."),
              std::string::npos)
        << get.err;
    EXPECT_NE(get.err.find("The server said: File not found."), std::string::npos) << get.err;
}

// A link that another user made where anyone may write is not written through (the kernel's
// protected_symlinks refuses it likewise); the user's own link there is.
TEST_F(pellcl, a_link_planted_by_another_user_is_not_written_through) {
    if (geteuid() != 0) GTEST_SKIP() << "a link of another user's needs root";
    server_process server({"--allow-download"});
    write_file(server.root() + "/fw.bin", "firmware");
    temp_folder_owner shared, elsewhere;
    chmod(shared.path().c_str(), 01777);
    write_file(elsewhere.file("victim"), "root's own");
    for (bool planted : {true, false}) {
        const std::string link = shared.file(planted ? "planted" : "own");
        std::filesystem::create_symlink(elsewhere.file("victim"), link);
        ASSERT_EQ(planted ? lchown(link.c_str(), 65534, 65534) : 0, 0);
        run_result get = run({"--get", "127.0.0.1:" + std::to_string(server.port()), "fw.bin", link});
        EXPECT_EQ(get.status, planted ? 1 : 0) << get.err;
        EXPECT_EQ(read_file(elsewhere.file("victim")), planted ? "root's own" : "firmware");
        const std::string refusal = "Cannot open '" + link +
                                    "' for writing: it is a link that another user made in a "
                                    "folder anyone may write to.";
        EXPECT_EQ(get.err.find(refusal) != std::string::npos, planted) << get.err;
    }
}

TEST_F(pellcl, an_unknown_host_fails_with_its_name) {
    run_result get = run({"--get", "no-such-host.invalid", "a.bin"});
    EXPECT_EQ(get.status, 1);
    EXPECT_NE(get.err.find("udp_open: unable to resolve host 'no-such-host.invalid'."),
              std::string::npos)
        << get.err;
}

TEST_F(pellcl, a_silent_server_fails_with_the_timeout_and_a_closed_port_at_once) {
    udp_peer silent;
    const std::string host = "127.0.0.1:" + std::to_string(silent.port());
    run_result get = run({"--get", host, "a.bin", "--timeout", "2"});
    EXPECT_EQ(get.status, 1);
    EXPECT_EQ(get.err, "The file transfer timed out. No answer from " + host + ".\n"); // once
    // Nothing listens: the network says so, and the client believes it.
    run_result closed = run({"--get", "127.0.0.1:" + std::to_string(free_udp_port()), "a.bin"});
    EXPECT_EQ(closed.status, 1);
    EXPECT_EQ(closed.err, "net_recv: A recvfrom error occurred while attempting to receive. "
                          "(Connection refused)\n");
}

TEST_F(pellcl, sigint_presses_stop_and_leaves_the_local_file) {
    write_file(local.file("a.bin"), "precious");
    udp_peer server;
    temp_folder_owner logs;
    child_process client(PELLCL_PATH,
                         {"--get", "127.0.0.1:" + std::to_string(server.port()), "a.bin"},
                         local.path(), logs.path());
    auto rrq = server.receive(5000);
    ASSERT_TRUE(rrq);
    udp_peer transfer;
    transfer.send_to(rrq->from_port, tftp_packet(3, 1, pattern_bytes(512, 2)));
    expect_packet(transfer, 4, 1);
    client.signal(SIGINT);
    EXPECT_EQ(client.wait_exit(10000), 1);
    // The server is told, and need not wait out its timeouts.
    EXPECT_EQ(next_bytes(transfer),
              tftp_packet(5, 0, std::string("Transfer cancelled by the user.") + '\0'));
    EXPECT_NE(client.err().find("File transfer aborted by user."), std::string::npos)
        << client.err();
    EXPECT_EQ(read_file(local.file("a.bin")), "precious");
    EXPECT_EQ(names_in(local.path()), std::vector<std::string>{"a.bin"});
}

TEST_F(pellcl, rejects_bad_command_lines) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--get", "host"},
                                          {"--get", "--put", "h", "a"},
                                          {"--put", "h", "a", "--timeout", "500"},
                                          {"--get", "h", "a", "--port", "x"},
                                          {"--get", "h", "a", "--bogus"},
                                          {"--get", "h", "a", "--blksize", "7"},
                                          {"--get", "h", "a", "--windowsize=0"},
                                          {"--get", "h", "a", "--config"},
                                          {"--get", "h", "a", "--config", "missing.ini"},
                                          {"--get", "tftp://h/"},
                                          {"--get", "tftp://h/a", "b", "c"}}) {
        run_result r = run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("pellcl --help"), std::string::npos) << r.err;
    }
    run_result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--get HOST REMOTE [LOCAL]"), std::string::npos);
}

} // namespace
