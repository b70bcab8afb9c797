// The client's transfer session driven through its window's controls against a scripted server
// on loopback: Start's checks, the request, the server's ERROR replies, an unknown host, a
// server that keeps its port, a silent server, Stop, and the status texts in their order.
#include "client/client_controls.h"
#include "client/client_role.h"
#include "client/client_settings.h"
#include "client/client_window.h"
#include "client/session.h"
#include "client/transfer_gauge.h"
#include "diag/trace.h"
#include "engine_fixture.h"
#include "lockstep.h"
#include "packet_expect.h"
#include "ui/test_backend.h"
#include "ui/ui.h"
#include "wait_until.h"

#include <regex>

using namespace tftpc_controls;

namespace {

class client_session : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        trace_close();
        use_role(client_role);
        client_window_open();
        start_folder = folder.path();
        ui_set_text(IDC_HOST, "127.0.0.1:" + std::to_string(listener.port()));
        ui_set_checked(IDC_LOG_TRACES, true);
        ui_set_text(IDC_TRACE_FILE, folder.file("trace.log"));
    }
    void TearDown() override {
        if (session_running) client_stop();
        EXPECT_TRUE(wait_until([] { return session_running == 0; }, 20000));
        engine_test::TearDown();
    }
    void download(const std::string& remote, const std::string& local, bool ascii = false) {
        ui_set_checked(IDC_DOWNLOAD, true);
        ui_set_checked(IDC_UPLOAD, false);
        ui_set_text(IDC_REMOTE_FILE, remote);
        ui_set_text(IDC_LOCAL_FILE, local);
        ui_set_checked(IDC_ASCII, ascii);
        client_start();
    }
    void upload(const std::string& local, const std::string& remote) {
        ui_set_checked(IDC_DOWNLOAD, false);
        ui_set_checked(IDC_UPLOAD, true);
        ui_set_text(IDC_REMOTE_FILE, remote);
        ui_set_text(IDC_LOCAL_FILE, local);
        client_start();
    }
    // The request as the server's well-known port got it; its source is the client's port.
    datagram request() {
        auto got = listener.receive(5000);
        EXPECT_TRUE(got) << "no request";
        return got ? *got : datagram{};
    }
    bool ended() {
        return wait_until([] { return session_running == 0; }, 20000);
    }
    static std::string status() { return ui_get_text(IDC_STATUS, 300); }
    static std::vector<std::string> status_lines() {
        std::vector<std::string> lines;
        const std::string prefix = "set_text " + std::to_string(IDC_STATUS) + " ";
        for (const std::string& call : ui_test_log())
            if (call.rfind(prefix, 0) == 0) lines.push_back(call.substr(prefix.size()));
        return lines;
    }

    udp_peer listener;    // the server's well-known port
    udp_peer server_side; // the server's port for the transfer
};

TEST_F(client_session, a_download_shows_its_steps_in_order_and_leaves_the_summary) {
    download("a.bin", folder.file("a.bin"));
    datagram rrq = request();
    EXPECT_EQ(rrq.bytes, tftp_request(1, "a.bin", "octet"));
    EXPECT_EQ(rrq.bytes.size(), 14u);
    ASSERT_TRUE(send_blocks(server_side, rrq.from_port, pattern_bytes(1000, 1)).completed);
    ASSERT_TRUE(ended());
    EXPECT_EQ(read_file(folder.file("a.bin")), pattern_bytes(1000, 1));
    EXPECT_EQ(last_transfer_end, END_COMPLETED);
    std::vector<std::string> lines = status_lines();
    std::vector<std::string> steps = {"Spawning a new thread...", "Initiating file transfer...",
                                      "Sending file download request...",
                                      "Sending request to server...",
                                      "Commencing file download..."};
    ASSERT_GE(lines.size(), steps.size() + 2);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), steps);
    EXPECT_EQ(lines[lines.size() - 2], "Connection to TFTP server closed.");
    EXPECT_TRUE(
        std::regex_match(lines.back(), std::regex(R"(1000 bytes received in \d+\.\d seconds\.)")))
        << lines.back();
    EXPECT_TRUE(ui_is_enabled(IDC_START));
    EXPECT_FALSE(ui_is_enabled(IDC_STOP));
    EXPECT_FALSE(file_exists(folder.file("PYCStat.tmp")));
}

// The bar: moving without a share while a download's size is unknown, the share of an upload,
// full and with the mean rate at the end, and empty again at the next Start.
TEST_F(client_session, the_bar_shows_the_share_where_the_size_is_known_and_start_empties_it) {
    download("a.bin", folder.file("a.bin"));
    datagram rrq = request();
    server_side.send_to(rrq.from_port, tftp_packet(3, 1, pattern_bytes(512, 2)));
    expect_packet(server_side, 4, 1);
    EXPECT_TRUE(wait_until([] { return ui_get_text(IDC_PROGRESS, 40) == "512 bytes"; }, 5000));
    EXPECT_EQ(ui_test_progress(IDC_PROGRESS), -1);
    // The client's wait may have run out while the bar was read: its ACK again is no news.
    while (server_side.receive(0)) {
    }
    server_side.send_to(rrq.from_port, tftp_packet(3, 2, "end"));
    expect_packet(server_side, 4, 2);
    ASSERT_TRUE(ended());
    EXPECT_EQ(ui_test_progress(IDC_PROGRESS), 1000);
    EXPECT_EQ(ui_get_text(IDC_PROGRESS, 40), "515 bytes");
    EXPECT_TRUE(std::regex_match(ui_get_text(IDC_RATE, 40), std::regex(R"(\d+(\.\d)? [kM]?B/s)")))
        << ui_get_text(IDC_RATE, 40);

    write_file(folder.file("up.bin"), pattern_bytes(2000, 3));
    upload(folder.file("up.bin"), "up.bin");
    EXPECT_EQ(ui_test_progress(IDC_PROGRESS) + ui_get_text(IDC_RATE, 40).size(), 0u);
    datagram wrq = request();
    server_side.send_to(wrq.from_port, tftp_packet(4, 0));
    expect_packet(server_side, 3, 1);
    server_side.send_to(wrq.from_port, tftp_packet(4, 1)); // 1024 of 2000 bytes read
    expect_packet(server_side, 3, 2);
    EXPECT_TRUE(wait_until([] { return ui_test_progress(IDC_PROGRESS) == 512; }, 5000))
        << ui_test_progress(IDC_PROGRESS);
    // The bar's text is set just after its value.
    const std::string shown = "1,024 of 2,000 bytes, 51%";
    EXPECT_TRUE(wait_until([&] { return ui_get_text(IDC_PROGRESS, 40) == shown; }, 5000))
        << ui_get_text(IDC_PROGRESS, 40);
}

TEST(rate_text, reads_as_a_person_would) {
    EXPECT_EQ(rate_text(1.2e6, 1), "1.2 MB/s");
    EXPECT_EQ(rate_text(1.7e6, 2), "850 kB/s");
    EXPECT_EQ(rate_text(512, 1), "512 B/s");
    EXPECT_EQ(rate_text(0, 0), "0 B/s");
    EXPECT_EQ(remaining_text(44.6), "45 s left");
    EXPECT_EQ(remaining_text(185), "3:05 left");
    EXPECT_EQ(remaining_text(3723), "1:02:03 left");
}

TEST_F(client_session, an_upload_in_netascii_sends_17_bytes_of_request_and_the_text_converted) {
    write_file(folder.file("t.txt"), "one\ntwo\n");
    ui_set_checked(IDC_ASCII, true);
    upload(folder.file("t.txt"), "a.txt");
    datagram wrq = request();
    EXPECT_EQ(wrq.bytes, tftp_request(2, "a.txt", "netascii"));
    EXPECT_EQ(wrq.bytes.size(), 17u);
    server_side.send_to(wrq.from_port, tftp_packet(4, 0));
    lockstep_outcome got = take_blocks(server_side, wrq.from_port);
    EXPECT_EQ(got.wire, "one\r\ntwo\r\n");
    ASSERT_TRUE(ended());
    EXPECT_TRUE(
        std::regex_match(status(), std::regex(R"(10 bytes transmitted in \d+\.\d seconds\.)")))
        << status();
}

TEST_F(client_session, an_empty_upload_sends_one_empty_block) {
    write_file(folder.file("empty"), "");
    upload(folder.file("empty"), "empty");
    datagram wrq = request();
    server_side.send_to(wrq.from_port, tftp_packet(4, 0));
    EXPECT_EQ(expect_packet(server_side, 3, 1).bytes, tftp_packet(3, 1));
    server_side.send_to(wrq.from_port, tftp_packet(4, 1));
    ASSERT_TRUE(ended());
    EXPECT_TRUE(std::regex_match(
        status(), std::regex(R"(Waited \d+\.\d seconds\. Is there a server problem\?)")))
        << status();
}

// The code's meaning and the server's own words, in the box and on the status line, once the
// transfer has settled: Stop rests, and no wait is summed up.
TEST_F(client_session, error_replies_show_the_code_text_and_the_servers_words) {
    struct {
        int code;
        const char* text;
    } cases[] = {{1, "Error code 1: The file was not located on the server."},
                 {2, "Error code 2: You do not have the right to access that file."},
                 {0, "Error code 0: An undefined error occurred."},
                 {8, "Error code 8: An undefined error occurred."}};
    struct release {
        ~release() { ui_test_hold_boxes(false); }
    } boxes_released_at_the_end;
    for (const auto& c : cases) {
        ui_test_hold_boxes(true);
        size_t shown = ui_test_boxes().size();
        download("a.bin", folder.file("a.bin"));
        datagram rrq = request();
        server_side.send_to(rrq.from_port, tftp_packet(5, c.code, std::string("nope") + '\0'));
        ASSERT_TRUE(wait_until([&] { return ui_test_boxes().size() > shown; }, 5000));
        EXPECT_FALSE(ui_is_enabled(IDC_STOP)); // settled while the box is up
        ui_test_hold_boxes(false);
        ASSERT_TRUE(ended());
        const std::string said = std::string(c.text) + " The server said: nope";
        EXPECT_EQ(last_box_shown().title, "Transfer error");
        EXPECT_EQ(last_box_shown().text, said);
        EXPECT_EQ(last_box_shown().icon, ui_icon::error);
        EXPECT_EQ(status_lines().back(), said);
        EXPECT_EQ(last_transfer_end, END_REFUSED);
    }
}

TEST_F(client_session, an_unknown_host_leaves_the_local_file_and_no_summary) {
    write_file(folder.file("a.bin"), "precious");
    ui_set_text(IDC_HOST, "no-such-host.invalid");
    download("a.bin", folder.file("a.bin"));
    ASSERT_TRUE(ended());
    ASSERT_FALSE(ui_test_boxes().empty());
    EXPECT_EQ(last_box_shown().text, "udp_open: unable to resolve host 'no-such-host.invalid'.");
    EXPECT_EQ(read_file(folder.file("a.bin")), "precious");
    for (const std::string& line : status_lines())
        EXPECT_EQ(line.find("seconds"), std::string::npos);
    EXPECT_TRUE(ui_is_enabled(IDC_START));
    EXPECT_EQ(last_transfer_end, END_FAILED);
}

// A server behind NAT or a firewall may answer from the port it listens on: it is followed there.
TEST_F(client_session, a_server_that_answers_from_its_listening_port_is_followed) {
    download("a.bin", folder.file("a.bin"));
    datagram rrq = request();
    listener.send_to(rrq.from_port, tftp_packet(3, 1, "x"));
    EXPECT_EQ(expect_packet(listener, 4, 1).from_port, rrq.from_port);
    ASSERT_TRUE(ended());
    EXPECT_EQ(last_transfer_end, END_COMPLETED);
    EXPECT_EQ(read_file(folder.file("a.bin")), "x");
}

TEST_F(client_session, a_silent_server_gets_four_retransmissions_then_the_timeout) {
    ui_list_select(IDC_PACKET_TIMEOUT, 0); // 2 seconds
    download("a.bin", folder.file("a.bin"));
    datagram rrq = request();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(next_bytes(listener, 4000), rrq.bytes);
    ASSERT_TRUE(ended());
    EXPECT_FALSE(listener.receive(0));
    std::vector<std::string> lines = status_lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "The file transfer timed out.");
    EXPECT_EQ(lines[lines.size() - 2], "Connection to TFTP server closed.");
    EXPECT_EQ(last_transfer_end, END_TIMED_OUT);
}

TEST_F(client_session, stop_during_a_download_leaves_the_local_file_and_no_partial_one) {
    write_file(folder.file("a.bin"), "precious");
    std::vector<std::string> before = names_in(folder.path());
    download("a.bin", folder.file("a.bin"));
    datagram rrq = request();
    server_side.send_to(rrq.from_port, tftp_packet(3, 1, pattern_bytes(512, 4)));
    expect_packet(server_side, 4, 1);
    client_stop();
    ASSERT_TRUE(ended());
    EXPECT_EQ(next_bytes(server_side),
              tftp_packet(5, 0, std::string("Transfer cancelled by the user.") + '\0'));
    EXPECT_EQ(status(), "File transfer aborted by user.");
    EXPECT_EQ(read_file(folder.file("a.bin")), "precious");
    EXPECT_EQ(names_in(folder.path()), before);
    EXPECT_FALSE(holds_open(folder.path() + "/a.bin"));
    EXPECT_FALSE(file_exists(folder.file("PYCStat.tmp")));
    EXPECT_TRUE(ui_is_enabled(IDC_START));
    EXPECT_EQ(last_transfer_end, END_STOPPED);
    EXPECT_NE(trace().find("File transfer stopped."), std::string::npos);
}

TEST_F(client_session, start_stop_start_at_once_keeps_the_stop_and_runs_one_transfer) {
    download("a.bin", folder.file("a.bin"));
    client_stop(); // before the transfer thread has done anything
    download("b.bin", folder.file("b.bin")); // the first one is still closing: not started
    EXPECT_FALSE(ui_is_enabled(IDC_START));
    ASSERT_TRUE(ended());
    EXPECT_EQ(last_transfer_end, END_STOPPED);
    EXPECT_TRUE(ui_is_enabled(IDC_START));
    while (auto stale = listener.receive(0))
        EXPECT_EQ(stale->bytes, tftp_request(1, "a.bin", "octet"));

    download("c.bin", folder.file("c.bin"));
    datagram rrq = request();
    EXPECT_EQ(rrq.bytes, tftp_request(1, "c.bin", "octet"));
    ASSERT_TRUE(send_blocks(server_side, rrq.from_port, pattern_bytes(700, 2)).completed);
    ASSERT_TRUE(ended());
    EXPECT_TRUE(std::regex_match(status(), std::regex(R"(700 bytes received in \d+\.\d seconds\.)")))
        << status();
}

TEST_F(client_session, answers_that_do_not_fit_the_request_are_protocol_botches) {
    write_file(folder.file("up"), "x");
    upload(folder.file("up"), "up");
    server_side.send_to(request().from_port, tftp_packet(3, 1, "x"));
    ASSERT_TRUE(ended());
    EXPECT_EQ(box_since(0), "fsm_invalid: Protocol botch: op_sent = 2, op_recv = 3.");

    download("a.bin", folder.file("a.bin"));
    server_side.send_to(request().from_port, tftp_packet(4, 0));
    ASSERT_TRUE(ended());
    EXPECT_EQ(box_since(1), "fsm_invalid: Protocol botch: op_sent = 1, op_recv = 4.");
}

// An OACK may only lower what was asked, in numbers that can be read: anything else is refused
// with ERROR 8, as is a size that the blocks do not bear out, and the local file stays as it was.
TEST_F(client_session, answers_to_the_options_that_cannot_be_taken_fail_the_download) {
    ui_set_checked(IDC_EXTENSIONS, true);
    const struct {
        std::string oack, says;
    } cases[] = {
        {std::string("blksize\0abc\0", 12), "an option that cannot be read: blksize abc."},
        {std::string("windowsize\0\xff\0", 13), "an option that cannot be read: windowsize ?."},
        {std::string("timeout\0"
                     "5\0",
                     10),
         "an option that was not asked for: timeout 5."},
        {std::string("blksize\0"
                     "70000\0",
                     14),
         "an option beyond what was asked: blksize 70000."},
    };
    write_file(folder.file("a.bin"), "precious");
    for (const auto& c : cases) {
        download("a.bin", folder.file("a.bin"));
        server_side.send_to(request().from_port, std::string("\0\6", 2) + c.oack);
        EXPECT_EQ(next_bytes(server_side).substr(0, 4), tftp_packet(5, 8)) << c.says;
        ASSERT_TRUE(ended());
        EXPECT_NE(last_failure_text().find(c.says), std::string::npos) << last_failure_text();
    }
    download("a.bin", folder.file("a.bin"));
    server_side.send_to(request().from_port, std::string("\0\6tsize\0"
                                                         "1000000\0",
                                                         16));
    datagram ack = expect_packet(server_side, 4, 0);
    ASSERT_TRUE(send_blocks(server_side, ack.from_port, "short").completed);
    ASSERT_TRUE(ended());
    EXPECT_EQ(last_box_shown().text, "The server announced 1000000 bytes but sent 5.");
    EXPECT_EQ(last_transfer_end, END_FAILED);
    EXPECT_EQ(read_file(folder.file("a.bin")), "precious");
}

TEST_F(client_session, start_checks_its_fields) {
    ui_set_text(IDC_HOST, "   ");
    download("a.bin", "");
    EXPECT_EQ(box_since(0), "Please provide a TFTP server host.");

    ui_set_text(IDC_HOST, "  127.0.0.1:" + std::to_string(listener.port()) + "  second words");
    upload(folder.file("missing"), "x");
    EXPECT_EQ(ui_get_text(IDC_HOST, 100), "127.0.0.1:" + std::to_string(listener.port()));
    EXPECT_EQ(box_since(1), "Failed to open '" + folder.file("missing") +
                                "' for reading: No such file or directory.");
    upload(folder.path(), "x");
    EXPECT_EQ(box_since(2), "Failed to open '" + folder.path() + "' for reading: Is a directory.");
    upload("", "x");
    EXPECT_EQ(box_since(3), "Please provide a valid local filename.");
    write_file(folder.file("here"), "x");
    upload(folder.file("here"), "");
    EXPECT_EQ(box_since(4), "Please provide a remote file name.");
    download("", "");
    EXPECT_EQ(box_since(5), "Please provide a remote file name.");
    ui_set_checked(IDC_EXTENSIONS, true);
    ui_set_text(IDC_BLOCK_SIZE, "7");
    download("named.bin", "");
    EXPECT_EQ(box_since(6), "The block size must be a number from 8 to 65464.");
    ui_set_checked(IDC_EXTENSIONS, false);
    EXPECT_TRUE(ui_is_enabled(IDC_START));

    download("named.bin", ""); // an empty local file goes to the start folder
    EXPECT_EQ(ui_get_text(IDC_LOCAL_FILE, 300), folder.file("named.bin"));
    datagram first = request(); // the first request of all: the refused Starts sent none
    EXPECT_EQ(first.bytes, tftp_request(1, "named.bin", "octet"));
    ASSERT_TRUE(send_blocks(server_side, first.from_port, "n").completed);
    ASSERT_TRUE(ended());
    EXPECT_EQ(read_file(folder.file("named.bin")), "n");
}

} // namespace
