// The post-upload command: its words, the path as one argument, and when it runs.
#include "engine/packet.h"
#include "engine/transfer.h"
#include "engine_fixture.h"
#include "platform/folders.h"
#include "server/run_external.h"
#include "server/settings.h"
#include "wait_until.h"

namespace {

using words = std::vector<std::string>;

TEST(command_words, put_the_path_in_place_of_each_mark_as_one_argument) {
    const std::string path = "/in/my file;rm -rf x.txt";
    EXPECT_EQ(command_words("notify ?", path), (words{"notify", path}));
    EXPECT_EQ(command_words("backup ? /backup", path), (words{"backup", path, "/backup"}));
    EXPECT_EQ(command_words("cp ? ?.bak", path), (words{"cp", path, path + ".bak"}));
    EXPECT_EQ(command_words("  reload  ", path), (words{"reload"}));
    EXPECT_EQ(command_words("\"/opt/my tools/load\" --file=? \"\"", path),
              (words{"/opt/my tools/load", "--file=" + path, ""}));
}

class run_external : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        RunExternal = 1;
        upload.kind = OP_WRQ;
        upload.path = folder.file("up load.bin");
        write_file(upload.path, "12345");
    }
    void TearDown() override {
        RunExternal = 0;
        engine_test::TearDown();
    }
    std::string record() const { return folder.file("record.txt"); }
    transfer upload;
};

TEST_F(run_external, runs_the_command_with_the_path) {
    RunExternalExe.set(std::string(RECORD_ARGS_PATH) + " " + record() + " ?");
    TFTP_RunExternal(upload);
    ASSERT_TRUE(
        wait_until([&] { return read_file(record()).find("size") != std::string::npos; }, 5000));
    EXPECT_EQ(read_text_file(record()), native_path(upload.path) + "\nsize 5\n");
    EXPECT_NE(trace().find("TFTP_RunExternal: Ran '" + std::string(RECORD_ARGS_PATH) + " " +
                           record() + " " + native_path(upload.path) + "'."),
              std::string::npos);
}

TEST_F(run_external, runs_nothing_after_a_download_or_with_the_option_off) {
    RunExternalExe.set(std::string(RECORD_ARGS_PATH) + " " + record() + " ?");
    transfer download;
    download.kind = OP_RRQ;
    download.path = upload.path;
    TFTP_RunExternal(download);
    RunExternal = 0;
    TFTP_RunExternal(upload);
    // Every start, and every failure to start, leaves a trace line at once.
    EXPECT_EQ(trace(), "");
    EXPECT_FALSE(file_exists(record()));
}

TEST_F(run_external, a_command_that_cannot_start_is_only_traced) {
    RunExternalExe.set("");
    TFTP_RunExternal(upload);
    EXPECT_NE(trace().find("TFTP_RunExternal: Error 2 creating process."), std::string::npos);
    std::string before = trace();
    RunExternalExe.set("no-such-program-anywhere ?");
    TFTP_RunExternal(upload);
    // The error is the system's: 2 where every folder of the search path can be looked into.
    EXPECT_NE(trace().find("TFTP_RunExternal: Error ", before.size()), std::string::npos);
    EXPECT_NE(trace().find(" creating process.", before.size()), std::string::npos);
}

TEST_F(run_external, a_command_line_too_long_is_not_attempted) {
    // The path and the command together take the whole 260 characters.
    RunExternalExe.set("echo " + std::string(253 - upload.path.size(), 'x') + " ?");
    TFTP_RunExternal(upload);
    EXPECT_NE(
        trace().find("TFTP_RunExternal: External command might be too long. Not attempting it."),
        std::string::npos);
}

} // namespace
