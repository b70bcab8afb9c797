// The status file that names the file in transfer, in the user's runtime folder.
#include "diag/status.h"
#include "engine_fixture.h"
#include "ui/test_backend.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using status_file_test = engine_test;

TEST_F(status_file_test, holds_exactly_the_path_and_is_rewritten_each_time) {
    status_file_write("/srv/tftp/a longer name.bin");
    status_file_write("/srv/b.txt");
    EXPECT_EQ(read_file(folder.file("PYSStat.tmp")), "/srv/b.txt");
    struct stat info {};
    ASSERT_EQ(stat(folder.file("PYSStat.tmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    status_file_delete();
    status_file_instance("-6969"); // a server's own, beside another user's or port's
    status_file_write("/srv/c.txt");
    EXPECT_EQ(read_file(folder.file("PYSStat-6969.tmp")), "/srv/c.txt");
}

TEST_F(status_file_test, is_deleted_and_a_second_delete_is_silent) {
    status_file_write("/srv/b.txt");
    status_file_delete();
    EXPECT_FALSE(file_exists(folder.file("PYSStat.tmp")));
    status_file_delete();
    EXPECT_TRUE(ui_test_boxes().empty());
    EXPECT_EQ(trace(), "");
}

TEST_F(status_file_test, never_follows_a_link_planted_in_its_place) {
    write_file(folder.file("victim"), "precious");
    ASSERT_EQ(symlink(folder.file("victim").c_str(), folder.file("PYSStat.tmp").c_str()), 0);
    status_file_write("/srv/b.txt");
    EXPECT_EQ(read_file(folder.file("victim")), "precious");
}

TEST_F(status_file_test, is_left_out_without_a_usable_temporary_folder) {
    std::string deep = folder.path() + "/" + std::string(120, 'd');
    std::filesystem::create_directories(deep);
    setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
    EXPECT_EQ(status_file_path(), "");
    status_file_write("/srv/b.txt");
    status_file_delete();
    EXPECT_FALSE(file_exists(deep + "/PYSStat.tmp"));

    setenv("XDG_RUNTIME_DIR", folder.file("missing").c_str(), 1);
    status_file_write("/srv/b.txt");
    EXPECT_FALSE(file_exists(folder.file("missing")));
}

} // namespace
