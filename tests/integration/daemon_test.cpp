// pellsd --headless as a process: its start, its listening steps, its refusals to start, its
// idle cost and its end.
#include "lockstep.h"
#include "packet_expect.h"
#include "server_process.h"
#include "transfer_data.h"
#include "udp_peer.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <thread>

namespace {

// Whether a server started at port (which may take a moment to listen) sends a.txt's first block
// with content.
bool serves_first_block(uint16_t port, const std::string& content) {
    udp_peer client;
    return wait_until(
        [&] {
            client.send_to(port, tftp_request(1, "a.txt", "octet"));
            auto answer = client.receive(200);
            return answer && answer->bytes == tftp_packet(3, 1, content);
        },
        10000);
}

TEST(daemon, listens_receives_opens_a_transfer_socket_and_listens_again) {
    server_process server({"--allow-download"});
    ASSERT_TRUE(server.trace_shows("net_init: Successfully bound server socket."));
    udp_peer client;
    client.send_to(server.port(), tftp_request(1, "a.txt", "octet"));
    std::string got = "tftp_listen: got 14 bytes from host 127.0.0.1, port# " +
                      std::to_string(client.port()) + ".";
    ASSERT_TRUE(server.trace_shows(got)) << server.trace();
    ASSERT_TRUE(server.trace_shows("net_close: host = 127.0.0.1, socket fd = "));

    udp_peer second;
    second.send_to(server.port(), tftp_request(1, "b.txt", "octet"));
    ASSERT_TRUE(server.trace_shows("port# " + std::to_string(second.port()) + "."));
    EXPECT_EQ(server.stop(), 0);
    std::string trace = server.trace();
    EXPECT_NE(trace.find("PelloryTFTP server v1.0.1 commencing..."), std::string::npos);
    EXPECT_NE(trace.find("TFTPStartDaemon: Shutting down server socket."), std::string::npos);
    EXPECT_NE(trace.find("PelloryTFTP server exiting..."), std::string::npos);
}

TEST(daemon, ends_with_its_farewell_on_sigterm_and_sigint) {
    for (int signal : {SIGTERM, SIGINT}) {
        server_process server;
        ASSERT_TRUE(server.trace_shows("net_init:"));
        server.process().signal(signal);
        EXPECT_EQ(server.process().wait_exit(10000), 0);
        std::string out = server.process().out();
        EXPECT_NE(out.find("TFTP server is enabled."), std::string::npos) << out;
        EXPECT_NE(out.find("TFTP server is disabled."), std::string::npos) << out;
        EXPECT_NE(out.find("Thank you for using the PelloryTFTP server."), std::string::npos);
    }
}

TEST(daemon, refuses_to_start_on_a_port_in_use) {
    udp_peer holder(0);
    temp_folder_owner folder;
    child_process server(PELLSD_PATH, {"--headless", "--port", std::to_string(holder.port())},
                         folder.path(), folder.path(), {"TMPDIR=" + folder.path()});
    EXPECT_EQ(server.wait_exit(10000), 1);
    EXPECT_NE(server.err().find("Error: net_init: can't bind local address 0.0.0.0, port " +
                                std::to_string(holder.port()) + ": Address already in use."),
              std::string::npos)
        << server.err();
    // Only what happened: never enabled, nothing aborted, no advice for the window's user.
    EXPECT_EQ(server.out().find("enabled"), std::string::npos) << server.out();
    EXPECT_EQ(server.err().find("advice"), std::string::npos) << server.err();
    EXPECT_EQ(server.out().find("aborted"), std::string::npos) << server.out();
}

TEST(daemon, refuses_to_start_without_its_root_folder) {
    temp_folder_owner folder;
    child_process server(PELLSD_PATH,
                         {"--headless", "--port", std::to_string(free_udp_port()), "--root",
                          folder.file("missing"), "--allow-download"},
                         folder.path(), folder.path(), {"TMPDIR=" + folder.path()});
    EXPECT_EQ(server.wait_exit(10000), 1);
    // The direction allowed, whose root is used.
    EXPECT_NE(server.err().find("Download root '" + folder.file("missing") + "' does not exist."),
              std::string::npos)
        << server.err();
}

TEST(daemon, rejects_bad_options_with_a_clear_message) {
    temp_folder_owner folder;
    struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--headless", "--port", "0"}, "--port needs a port number from 1 to 65535, not '0'."},
        {{"--headless", "--port", "70000"}, "--port needs a port number from 1 to 65535"},
        {{"--headless", "--timeout", "1"}, "--timeout needs a number of seconds from 2 to 120"},
        {{"--headless", "--root"}, "--root needs a folder"},
        {{"--headless", "--bogus"}, "unknown option '--bogus'"},
        {{"--headless", "--max-transfers", "1025"},
         "--max-transfers needs a number of transfers from 1 to 1024, not '1025'."},
        {{"--headless", "--max-per-client"}, "--max-per-client needs a number of transfers"},
        {{"--headless", "--max-transfers", "1025"},
         "--max-transfers needs a number of transfers from 1 to 1024, not '1025'."},
        {{"--headless", "--max-per-client"}, "--max-per-client needs a number of transfers"},
        {{"--headless", "--max-commands", "0"},
         "--max-commands needs a number of commands from 1 to 256, not '0'."},
        {{"--headless", "--client-folders", "name"},
         "--client-folders needs ip, mac or no, not 'name'."},
        {{"--config", "missing.conf", "--headless"},
         "the settings file 'missing.conf' does not exist: check its name, or add --save"},
    };
    for (const auto& c : cases) {
        child_process server(PELLSD_PATH, c.args, folder.path(), folder.path());
        EXPECT_EQ(server.wait_exit(10000), 2);
        EXPECT_NE(server.err().find(c.message), std::string::npos) << server.err();
    }
    child_process help(PELLSD_PATH, {"--help"}, folder.path(), folder.path());
    EXPECT_EQ(help.wait_exit(10000), 0);
    EXPECT_NE(help.out().find("--allow-upload"), std::string::npos);
}

TEST(daemon, save_stores_the_options_and_a_later_run_starts_from_them) {
    server_process first({"--allow-download", "--timeout", "7", "--save"});
    ASSERT_TRUE(wait_until([&] { return read_file(first.settings()).find("Timeout=7") !=
                                        std::string::npos; },
                           10000));
    EXPECT_EQ(first.stop(), 0);
    std::string stored = read_file(first.settings());
    for (const std::string& line : {std::string("AllowDownload=Yes"), std::string("AllowUpload=No"),
                                    std::string("RestrictDownload=Yes"),
                                    "RestrictDownloadPath=" + first.root()})
        EXPECT_NE(stored.find(line + "\n"), std::string::npos) << line << "\n" << stored;

    write_file(first.root() + "/a.txt", "stored root");
    uint16_t port = free_udp_port();
    child_process second(PELLSD_PATH,
                         {"--headless", "--port", std::to_string(port), "--user", "root"},
                         first.logs.path(), first.logs.path(), {"TMPDIR=" + first.logs.path()});
    EXPECT_TRUE(serves_first_block(port, "stored root"));
}

// Without a display each program says what works instead of its window; an option alone
// serves headless.
TEST(daemon, without_a_display_the_programs_say_so_and_an_option_alone_serves_headless) {
    temp_folder_owner folder;
    const std::vector<std::string> no_display = {
        "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
    for (const auto& [program, told] :
         {std::pair<std::string, std::string>{PELLSD_PATH, "pellsd: No display: use --headless"},
          {PELLCL_PATH, "pellcl: No display: use --get or --put"}}) {
        child_process window(program, {}, folder.path(), folder.path(), no_display);
        EXPECT_EQ(window.wait_exit(10000), 2);
        EXPECT_EQ(window.err(), told + " (see --help).\n");
    }
    write_file(folder.file("a.txt"), "served");
    uint16_t port = free_udp_port();
    child_process server(PELLSD_PATH,
                         {"--port", std::to_string(port), "--root", folder.path(),
                          "--allow-download", "--user", "root"},
                         folder.path(), folder.path(), {"TMPDIR=" + folder.path()});
    EXPECT_TRUE(serves_first_block(port, "served"));
}

// Started from a home folder (as a desktop entry starts it), it serves a folder of its own; told
// to serve the home itself, it says so.
TEST(daemon, started_from_home_it_serves_a_folder_of_its_own) {
    temp_folder_owner home;
    for (const bool home_served : {false, true}) {
        const uint16_t port = free_udp_port();
        std::vector<std::string> args = {"--port", std::to_string(port), "--allow-download",
                                         "--user", "root"};
        if (home_served) args.insert(args.end(), {"--root", home.path()});
        child_process server(PELLSD_PATH, args, home.path(), home.path(),
                             {"HOME=" + home.path(), "TMPDIR=" + home.path()});
        const std::string said = home_served
                                     ? "Warning: the server serves your home folder " + home.path()
                                     : "Made " + home.file("tftp") + " to serve files from: ";
        EXPECT_TRUE(wait_until([&] { return server.out().find(said) != std::string::npos; }, 10000))
            << server.out() << server.err();
        write_file(home.file(home_served ? "a.txt" : "tftp/a.txt"), "served");
        EXPECT_TRUE(serves_first_block(port, "served"));
    }
}

TEST(daemon, a_config_file_holds_the_settings_and_sighup_reads_it_again) {
    temp_folder_owner stored;
    const std::string config = stored.file("pellsd.conf");
    write_file(config, "[General]\n; the operator's own\nTimeout=fast\nnot a setting\n"
                       "RunExternal=Yes\nRunExternalExe=" +
                           std::string(RECORD_ARGS_PATH) + " " + stored.file("ran") + " ?\n");
    server_process server(
        {"--config", config, "--allow-download", "--allow-upload", "--max-transfers", "3", "--save"});
    ASSERT_TRUE(wait_until(
        [&] { return read_file(config).find("AllowDownload=Yes") != std::string::npos; }, 10000));
    // What cannot be used is said where it stands; the rest of the file stays as it was written.
    for (const std::string& said :
         std::vector<std::string>{"Some settings stored in " + config + " cannot be used:\n",
                                  "\nline 3: Timeout is 'fast', not ", "\nline 4: 'not a setting'"})
        EXPECT_NE(server.process().err().find(said), std::string::npos) << server.process().err();
    EXPECT_NE(read_file(config).find("; the operator's own\n"), std::string::npos);
    EXPECT_EQ(read_file(server.settings()).find("AllowDownload=Yes"), std::string::npos);
    const std::string content = pattern_bytes(1300, 6);
    write_file(server.root() + "/a.bin", content);
    udp_peer running, uploading;
    running.send_to(server.port(), tftp_request(1, "a.bin", "octet"));
    datagram first = expect_packet(running, 3, 1);
    uploading.send_to(server.port(), tftp_request(2, "early.bin", "octet"));
    const uint16_t early = expect_packet(uploading, 4, 0).from_port;

    std::string text = read_file(config);
    text.replace(text.find("Extensions=No"), 13, "Extensions=Yes");
    // A key left out of the file goes back to its factory value.
    write_file(config, std::regex_replace(text, std::regex("RunExternal[^\n]*\n"), ""));
    server.process().signal(SIGHUP);
    ASSERT_TRUE(wait_until(
        [&] {
            return server.process().out().find("The settings have been read again.") !=
                   std::string::npos;
        },
        10000));
    udp_peer next; // judged by what was read again
    next.send_to(server.port(),
                 tftp_request(1, "a.bin", "octet") + "blksize" + '\0' + "600" + '\0');
    EXPECT_EQ(next_bytes(next), std::string("\0\6blksize\0" "600\0", 14));
    running.send_to(first.from_port, tftp_packet(4, 1)); // the running ones go on as they began
    lockstep_outcome rest = take_blocks(running, first.from_port, 5000, 2);
    EXPECT_TRUE(rest.completed);
    EXPECT_EQ(first.bytes.substr(4) + rest.wire, content);
    EXPECT_TRUE(send_blocks(uploading, early, "early").completed);
    EXPECT_TRUE(wait_until(
        [&] { return read_file(stored.file("ran")).find("early.bin") != std::string::npos; },
        5000));
    udp_peer writer; // no command runs after an upload any more
    writer.send_to(server.port(), tftp_request(2, "up.bin", "octet"));
    EXPECT_TRUE(send_blocks(writer, expect_packet(writer, 4, 0).from_port, "up").completed);
    EXPECT_EQ(server.trace().find("/up.bin'."), std::string::npos);
    // Headless, each finished transfer's row of the window's list goes to standard output, at
    // its end: its one line.
    EXPECT_EQ(server.process().out().find(" bytes sent in "), std::string::npos);
    EXPECT_TRUE(wait_until(
        [&] {
            return std::regex_search(server.process().out(),
                                     std::regex(R"(\n\d\d:\d\d:\d\d 127\.0\.0\.1 a\.bin download 1300 \d+\.\d completed\n)"));
        },
        5000))
        << server.process().out();
}

// Started as root it binds, then serves as its user: uploads are that user's, with the mask it
// was given, and so is the command run after them.
TEST(daemon, started_as_root_it_serves_and_reads_its_settings_again_as_its_user) {
    if (geteuid() != 0) GTEST_SKIP() << "switching users needs root";
    temp_folder_owner shared, stored, served;
    // A root its user cannot read is refused at the start, in words, not request by request.
    child_process refused(PELLSD_PATH,
                          {"--headless", "--port", std::to_string(free_udp_port()), "--root",
                           served.path(), "--allow-download", "--user", "nobody"},
                          stored.path(), stored.path(), {"TMPDIR=" + stored.path()});
    EXPECT_EQ(refused.wait_exit(10000), 1);
    EXPECT_NE(refused.err().find("user nobody cannot read " + served.path() +
                                 ": serve another folder, give it access, or use --user"),
              std::string::npos)
        << refused.err();
    for (const temp_folder_owner* open : {&shared, &served})
        chmod(open->path().c_str(), 0777);
    std::filesystem::create_directory(served.file("private"));
    chmod(served.file("private").c_str(), 0700); // root's alone
    write_file(served.file("private/key"), "secret");
    chmod(stored.path().c_str(), 0755); // root writes the settings, the user reads them
    const std::string config = stored.file("pellsd.conf");
    write_file(config, "[General]\nUmask=027\n");
    server_process server({"--allow-upload", "--allow-download", "--root", served.path(), "--user",
                           "nobody", "--config", config, "--save", "--run",
                           std::string(RECORD_ARGS_PATH) + " " + shared.file("ran") + " ?"});
    ASSERT_TRUE(wait_until(
        [&] { return server.process().out().find("Serving as user nobody.") != std::string::npos; },
        10000));
    struct stat process {};
    ASSERT_EQ(stat(("/proc/" + std::to_string(server.process().pid())).c_str(), &process), 0);
    EXPECT_EQ(process.st_uid, 65534u);
    udp_peer reader; // there, but not for this user to read
    reader.send_to(server.port(), tftp_request(1, "private/key", "octet"));
    EXPECT_EQ(next_bytes(reader).substr(0, 4), tftp_packet(5, 2));
    udp_peer writer;
    writer.send_to(server.port(), tftp_request(2, "up.bin", "octet"));
    EXPECT_TRUE(send_blocks(writer, expect_packet(writer, 4, 0).from_port, "up").completed);
    struct stat uploaded {
    }, ran{};
    ASSERT_EQ(stat((served.path() + "/up.bin").c_str(), &uploaded), 0);
    EXPECT_EQ(uploaded.st_uid, 65534u);
    EXPECT_EQ(uploaded.st_mode & 0777, 0640u);
    ASSERT_TRUE(wait_until([&] { return stat(shared.file("ran").c_str(), &ran) == 0; }, 5000));
    EXPECT_EQ(ran.st_uid, 65534u);
    // Saved before the server became its user, who may not write there.
    EXPECT_NE(read_file(config).find("AllowUpload=Yes"), std::string::npos);
    // Read again as that user: the log it opened as root goes on, a new mask takes effect.
    std::string text = read_file(config);
    write_file(config, text.replace(text.find("Umask=027"), 9, "Umask=077"));
    server.process().signal(SIGHUP);
    ASSERT_TRUE(wait_until(
        [&] { return server.process().out().find("read again.") != std::string::npos; }, 10000));
    writer.send_to(server.port(), tftp_request(2, "second.bin", "octet"));
    EXPECT_TRUE(send_blocks(writer, expect_packet(writer, 4, 0).from_port, "up").completed);
    ASSERT_EQ(stat((served.path() + "/second.bin").c_str(), &uploaded), 0);
    EXPECT_EQ(uploaded.st_mode & 0777, 0600u);
    EXPECT_NE(server.trace().find("opened " + served.path() + "/second.bin"), std::string::npos);
    // Every thread, the first included, may gain no privilege back, and none is left to gain.
    const std::string tasks = "/proc/" + std::to_string(server.process().pid()) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::string status = read_file(task.path() / "status");
        EXPECT_NE(status.find("NoNewPrivs:\t1"), std::string::npos) << task.path();
        EXPECT_NE(status.find("CapBnd:\t0000000000000000"), std::string::npos) << task.path();
    }
}

// Slow commands after a stream of uploads reach the serving user's task limit: a command that
// cannot start is said, and the server serves on.
TEST(daemon, a_task_limit_costs_only_the_commands_beyond_it) {
    if (geteuid() != 0) GTEST_SKIP() << "a task limit of the serving user's own needs root";
    const std::string slow = std::string(RECORD_ARGS_PATH) + " --wait 4000";
    // A user nothing else on the machine runs as: the limit counts this server's tasks alone.
    temp_folder_owner served; // the user's to write to before it serves
    chmod(served.path().c_str(), 0777);
    server_process server({"--allow-upload", "--root", served.path(), "--user", "games",
                           "--max-commands", "16", "--run", slow},
                          {program_path("prlimit"), "--nproc=6"});
    ASSERT_TRUE(wait_until(
        [&] { return server.process().out().find("Serving as user games.") != std::string::npos; },
        10000));
    for (int i = 0; i < 5; ++i) {
        udp_peer writer;
        writer.send_to(server.port(), tftp_request(2, "up" + std::to_string(i), "octet"));
        ASSERT_TRUE(send_blocks(writer, expect_packet(writer, 4, 0).from_port, "up").completed);
    }
    EXPECT_TRUE(wait_until(
        [&] {
            return server.process().out().find("Could not start '" + slow + "': ") !=
                   std::string::npos;
        },
        5000));
    EXPECT_TRUE(server.process().running());
}

// What uploads an earlier run left unfinished is removed at the start, and said; a root moved away
// and made anew is served anew from the next request.
TEST(daemon, a_root_made_anew_is_served_and_what_a_crash_left_is_removed) {
    temp_folder_owner disk;
    const std::string root = disk.file("srv");
    std::filesystem::create_directories(root + "/sub");
    for (const char* left : {"/.pell-abcdefgh-a.txt", "/sub/.pell-ijklmnop-b.txt"})
        write_file(root + left, "half");
    write_file(root + "/.pellet", "kept");
    server_process server({"--allow-download", "--allow-upload", "--root", root});
    EXPECT_TRUE(wait_until(
        [&] {
            return server.process().out().find("Removed 2 unfinished uploads that an earlier run "
                                               "left in " + root + ".") != std::string::npos;
        },
        10000));
    EXPECT_EQ(names_in(root), (std::vector<std::string>{".pellet", "sub"}));
    EXPECT_TRUE(names_in(root + "/sub").empty());
    for (const char* content : {"old", "new"}) {
        if (std::string(content) == "new") {
            std::filesystem::rename(root, root + ".old");
            std::filesystem::create_directory(root);
        }
        write_file(root + "/a.txt", content);
        udp_peer client;
        client.send_to(server.port(), tftp_request(1, "a.txt", "octet"));
        EXPECT_EQ(take_blocks(client, 0).wire, content);
    }
}

TEST(daemon, uses_no_processor_time_while_idle) {
    server_process server;
    ASSERT_TRUE(server.trace_shows("net_init:"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    double before = server.process().cpu_seconds();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    double used = server.process().cpu_seconds() - before;
    EXPECT_LT(used, 0.05) << "seconds of processor time in 3 idle seconds";
}

} // namespace
