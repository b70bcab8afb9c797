// The Debian package as dpkg sees it, its service as systemd and as the server itself read it,
// and the manual pages as a linter reads them, each naming every option of its program.
#include "child_process.h"
#include "temp_folder.h"
#include "transfer_data.h"
#include "udp_peer.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

class package : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        run_result built = run_program(
            {"cpack", "--config", CPACK_CONFIG_PATH, "-G", "DEB", "-B", folder().path()},
            folder().path());
        ASSERT_EQ(built.status, 0) << built.out << built.err;
        for (const auto& entry : std::filesystem::directory_iterator(folder().path()))
            if (entry.path().extension() == ".deb")
                (entry.path().filename().string().rfind("pellory-tftp_", 0) == 0 ? deb()
                                                                                 : windows_deb()) =
                    entry.path().string();
        ASSERT_FALSE(deb().empty());
        ASSERT_FALSE(windows_deb().empty());
        ASSERT_EQ(run_program({"dpkg-deb", "-R", deb(), folder().file("root")}, "/").status, 0);
    }
    static temp_folder_owner& folder() {
        static temp_folder_owner built;
        return built;
    }
    static std::string& deb() {
        static std::string path;
        return path;
    }
    static std::string& windows_deb() {
        static std::string path;
        return path;
    }
    static std::string root(const std::string& path) { return folder().file("root") + path; }
};

TEST_F(package, the_programs_need_no_gui_library_and_their_windows_come_apart) {
    const struct {
        std::string deb, fields;
        std::vector<const char*> paths;
    } packages[] = {
        {deb(),
         "Package: pellory-tftp\nVersion: " PELL_VERSION
         "\nDepends: libc6 (>= 2.34), libstdc++6 (>= 12)\n",
         {"./usr/sbin/pellsd", "./usr/bin/pellcl", "./usr/share/man/man8/pellsd.8.gz",
          "./usr/share/man/man1/pellcl.1.gz", "./usr/lib/systemd/system/pellsd.service",
          "./usr/share/doc/pellory-tftp/copyright", "./etc/pellory/pellsd.conf"}},
        {windows_deb(),
         "Package: pellory-tftp-windows\nVersion: " PELL_VERSION
         "\nDepends: pellory-tftp (= " PELL_VERSION "), libqt6core6 (>= 6.4), libqt6gui6 "
         "(>= 6.4), libqt6widgets6 (>= 6.4)\n",
         {"./usr/lib/pellory/pellsd-window.so", "./usr/lib/pellory/pellcl-window.so",
          "./usr/share/applications/pellsd.desktop", "./usr/share/applications/pellcl.desktop",
          "./usr/share/icons/hicolor/scalable/apps/pellsd.svg",
          "./usr/share/doc/pellory-tftp-windows/copyright"}},
    };
    for (const auto& p : packages) {
        EXPECT_EQ(run_program({"dpkg-deb", "-f", p.deb, "Package", "Version", "Depends"}, "/").out,
                  p.fields);
        const std::string files = run_program({"dpkg-deb", "-c", p.deb}, "/").out;
        for (const char* path : p.paths)
            EXPECT_NE(files.find(std::string(path) + "\n"), std::string::npos) << path;
        EXPECT_EQ(files.find(p.deb == deb() ? "window" : "bin/"), std::string::npos) << files;
    }
    for (const char* program : {"/usr/sbin/pellsd", "/usr/bin/pellcl"})
        EXPECT_EQ(run_program({"ldd", root(program)}, "/").out.find("libQt"), std::string::npos);
    EXPECT_EQ(read_file(root("/DEBIAN/conffiles")), "/etc/pellory/pellsd.conf\n");
    // The service's user and folders come from the package's own script.
    std::string postinst = read_file(root("/DEBIAN/postinst"));
    EXPECT_NE(postinst.find("useradd --system"), std::string::npos);
    EXPECT_NE(postinst.find("/srv/tftp/upload"), std::string::npos);
    EXPECT_EQ(postinst.find("systemctl enable"), std::string::npos); // installed disabled
    EXPECT_NE(postinst.find("systemctl try-restart pellsd.service"), std::string::npos);
}

TEST_F(package, its_unit_passes_systemd_and_runs_the_server_unprivileged_and_confined) {
    const std::string unit = root("/usr/lib/systemd/system/pellsd.service");
    std::string text = read_file(unit);
    for (const char* line :
         {"ExecStart=/usr/sbin/pellsd --headless --config /etc/pellory/pellsd.conf\n",
          "LogsDirectory=pellory\n",
          "User=pellsd\n", "CapabilityBoundingSet=CAP_NET_BIND_SERVICE\n", "NoNewPrivileges=yes\n",
          "ProtectSystem=strict\n", "ReadWritePaths=-/srv/tftp/upload\n", "PrivateTmp=yes\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    if (program_path("systemd-analyze").empty())
        GTEST_SKIP() << "systemd-analyze is not installed: the unit's syntax is not checked";
    run_result verified = run_program({"systemd-analyze", "verify", "--man=no", unit}, "/");
    // Only the program's absence from this machine (when the package is not installed) may be
    // said: any unknown key or bad value is a fault of the unit.
    std::string said = replaced(verified.out + verified.err,
                                "pellsd.service: Command /usr/sbin/pellsd is not executable: No "
                                "such file or directory\n",
                                "");
    EXPECT_EQ(said, "");
}

TEST_F(package, its_configuration_serves_downloads_only) {
    temp_folder_owner served;
    write_file(served.file("boot.img"), pattern_bytes(1200, 3));
    std::filesystem::create_directory(served.file("upload")); // as the package's script makes it
    const std::string config = served.file("pellsd.conf");
    write_file(config,
               replaced(read_file(root("/etc/pellory/pellsd.conf")), "/srv/tftp", served.path()));
    const uint16_t port = free_udp_port();
    child_process server(
        root("/usr/sbin/pellsd"),
        {"--headless", "--config", config, "--port", std::to_string(port), "--user", "root"},
        served.path(), served.path(), {"TMPDIR=" + served.path()});
    udp_peer client;
    ASSERT_TRUE(wait_until(
        [&] {
            client.send_to(port, tftp_request(1, "boot.img", "octet"));
            auto answer = client.receive(200);
            return answer &&
                   answer->bytes == tftp_packet(3, 1, pattern_bytes(1200, 3).substr(0, 512));
        },
        10000))
        << server.err();
    udp_peer uploader;
    uploader.send_to(port, tftp_request(2, "new.img", "octet"));
    auto refused = uploader.receive(5000);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->bytes.substr(0, 4), tftp_packet(5, 2));
}

// Every option --help lists is in the manual page, which the linter passes.
TEST(manual_pages, pass_the_linter_and_name_every_option) {
    if (program_path("mandoc").empty()) GTEST_SKIP() << "mandoc is not installed";
    for (auto [program, page] : {std::pair{PELLSD_PATH, "pellsd.8"}, {PELLCL_PATH, "pellcl.1"}}) {
        const std::string path = std::string(MAN_FOLDER) + "/" + page;
        run_result lint = run_program({"mandoc", "-Tlint", "-Wwarning", path}, "/");
        EXPECT_EQ(lint.status, 0) << lint.out << lint.err;
        const std::string text = read_file(path), help = run_program({program, "--help"}, "/").out;
        std::regex option(R"(^  (-[-\w]+))", std::regex::multiline);
        int options = 0;
        for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
            ++options;
            EXPECT_NE(text.find(replaced((*it)[1], "-", "\\-")), std::string::npos)
                << page << " lacks " << (*it)[1];
        }
        EXPECT_GT(options, 10) << help;
    }
}

} // namespace
