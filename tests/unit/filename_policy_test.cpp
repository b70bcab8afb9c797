// Which requested names the server uses, and the path each one becomes.
#include "engine_fixture.h"
#include "platform/folders.h"
#include "server/filename_policy.h"
#include "server/settings.h"

namespace {

class filename_policy : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        settings.RestrictDownloadPath = "D:\\pub";
        settings.RestrictUploadPath = "/srv/in";
    }
    // The path a download of name becomes, or "refused".
    std::string download(std::string name) {
        return tftp_checkfilename(name, 1, settings) == 0 ? name : "refused";
    }
    std::string upload(std::string name) {
        return tftp_checkfilename(name, 2, settings) == 0 ? name : "refused";
    }
    server_settings settings;
};

TEST_F(filename_policy, refuses_names_that_start_with_white_space_or_a_control) {
    for (std::string name : {" a.txt", "\ta.txt", "",
                             "\x1f"
                             "a",
                             "\x7f"
                             "a"})
        EXPECT_EQ(download(name), "refused") << name;
    EXPECT_NE(trace().find("tftp_checkfilename: Filename started with whitespace."),
              std::string::npos);
    EXPECT_EQ(download("\xe9t\xe9.txt"), "D:\\pub\\\xe9t\xe9.txt"); // bytes above 127 are letters
}

TEST_F(filename_policy, refuses_every_parent_reference) {
    for (std::string name : {"sub/../a.txt", "..\\a.txt", "x..y", "../etc/passwd",
                             ".pell-k3x9q2ab-a.txt", "docs\\.pell-x", "/docs/.pell-x"})
        EXPECT_EQ(download(name), "refused") << name;
    EXPECT_NE(trace().find("tftp_checkfilename: Denied access for x..y."), std::string::npos);
}

// A home folder served by mistake keeps its .ssh: hidden names only when the setting says so,
// an upload in progress never.
TEST_F(filename_policy, refuses_hidden_names_unless_told_to_serve_them) {
    const char* hidden[] = {".ssh/id_ed25519", "docs\\.config\\x", "D:\\pub\\.hidden", ".profile"};
    for (std::string name : hidden)
        EXPECT_EQ(download(name), "refused") << name;
    EXPECT_EQ(download("./a.txt"), "D:\\pub\\.\\a.txt");
    settings.HiddenFiles = 1;
    for (std::string name : hidden)
        EXPECT_NE(download(name), "refused") << name;
    EXPECT_EQ(download(".pell-k3x9q2ab-a.txt"), "refused");
}

// What Windows would read as another thing than the file named, refused on every system.
TEST_F(filename_policy, refuses_what_windows_reads_as_something_else) {
    for (std::string name : {"CON", "nul", "Aux.txt", "docs/com1", "LPT9.log", "prn.", "a.txt:s",
                             "a.txt::$DATA", "a.txt.", "a.txt ", "dir./a", "PROGRA~1/x",
                             "\\\\?\\C:\\a", "\\\\host\\share\\a", "C:a.txt"})
        EXPECT_EQ(download(name), "refused") << name;
    for (std::string name : {"console.txt", "com10", "lpt0", "a~b.txt", "con-fig", "D:\\pub\\a.b"})
        EXPECT_NE(download(name), "refused") << name;
}

TEST_F(filename_policy, completes_relative_names_with_the_root) {
    EXPECT_EQ(download("docs/a.txt"), "D:\\pub\\docs\\a.txt");
    EXPECT_EQ(download("\\a.txt"), "D:\\pub\\\\a.txt");
    EXPECT_EQ(upload("/etc/passwd"), "/srv/in\\\\etc\\passwd"); // still inside the root
    EXPECT_EQ(local_path(upload("/etc/passwd")), "/srv/in//etc/passwd");
}

TEST_F(filename_policy, takes_absolute_names_only_below_the_root) {
    EXPECT_EQ(download("d:\\PUB\\docs\\a.txt"), "d:\\PUB\\docs\\a.txt");
    EXPECT_EQ(download("C:\\a.txt"), "refused");
    EXPECT_EQ(download("\\\\host\\share\\a.txt"), "refused");
    EXPECT_EQ(download("D:\\pub"), "refused");
    EXPECT_EQ(download("D:\\pubx\\a.txt"), "refused"); // a sibling whose name starts alike
    settings.RestrictDownloadPath = "D:\\pub\\";
    EXPECT_EQ(download("D:\\pub\\a.txt"), "D:\\pub\\a.txt");
}

TEST_F(filename_policy, refuses_drive_relative_names_whatever_the_restrictions) {
    EXPECT_EQ(download("C:a.txt"), "refused");
    EXPECT_EQ(download("C:"), "refused");
    settings.RestrictDownload = 0;
    EXPECT_EQ(download("C:a.txt"), "refused");
}

TEST_F(filename_policy, without_a_root_uses_the_current_folder_of_the_moment) {
    settings.RestrictDownload = 0;
    EXPECT_EQ(download("C:\\config.sys"), "C:\\config.sys");
    EXPECT_EQ(download("a.txt"), current_folder() + "\\a.txt");
}

TEST_F(filename_policy, refuses_a_name_that_does_not_fit_its_field) {
    EXPECT_NE(download(std::string(127, 'n')), "refused");
    EXPECT_EQ(download(std::string(128, 'n')), "refused");
}

} // namespace
