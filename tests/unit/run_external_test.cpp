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
        upload.kind = OP_WRQ;
        upload.path = folder.file("up load.bin");
        write_file(upload.path, "12345");
    }
    std::string record() const { return folder.file("record.txt"); }
    transfer upload;
};

TEST_F(run_external, runs_the_command_with_the_path) {
    upload.after_upload = std::string(RECORD_ARGS_PATH) + " " + record() + " ?";
    TFTP_RunExternal(upload);
    ASSERT_TRUE(
        wait_until([&] { return read_file(record()).find("size") != std::string::npos; }, 5000));
    EXPECT_EQ(read_text_file(record()), native_path(upload.path) + "\nsize 5\n");
    EXPECT_NE(trace().find("TFTP_RunExternal: Ran '" + std::string(RECORD_ARGS_PATH) + " " +
                           record() + " " + native_path(upload.path) + "'."),
              std::string::npos);
}

TEST_F(run_external, runs_nothing_after_a_download_or_with_the_option_off) {
    transfer download;
    download.kind = OP_RRQ;
    download.path = upload.path;
    download.after_upload = std::string(RECORD_ARGS_PATH) + " " + record() + " ?";
    TFTP_RunExternal(download);
    TFTP_RunExternal(upload);
    // Every start, and every failure to start, leaves a trace line at once.
    EXPECT_EQ(trace(), "");
    EXPECT_FALSE(file_exists(record()));
}

TEST_F(run_external, a_command_that_cannot_start_is_traced_and_said) {
    upload.after_upload = "";
    TFTP_RunExternal(upload);
    EXPECT_NE(trace().find("TFTP_RunExternal: Error 2 creating process."), std::string::npos);
    EXPECT_EQ(ui_test_log().back(), "set_text 1027 Could not start '': " + error_text(2) + ".");
    std::string before = trace();
    upload.after_upload = "no-such-program-anywhere ?";
    TFTP_RunExternal(upload);
    // The error is the system's: 2 where every folder of the search path can be looked into.
    EXPECT_NE(trace().find("TFTP_RunExternal: Error ", before.size()), std::string::npos);
    EXPECT_NE(trace().find(" creating process.", before.size()), std::string::npos);
}

TEST_F(run_external, a_command_line_too_long_is_not_attempted) {
    // The path and the command together take the whole 260 characters.
    upload.after_upload = "echo " + std::string(253 - upload.path.size(), 'x') + " ?";
    TFTP_RunExternal(upload);
    EXPECT_NE(
        trace().find("TFTP_RunExternal: External command might be too long. Not attempting it."),
        std::string::npos);
}

} // namespace

namespace {

// Commands beyond the bound wait their turn and run in order, however many come: none is lost.
TEST_F(run_external, commands_beyond_the_bound_wait_their_turn_in_order) {
    server_settings one_at_a_time;
    one_at_a_time.MaxCommands = 1;
    settings_serve(one_at_a_time);
    upload.after_upload = std::string(RECORD_ARGS_PATH) + " --wait 1000";
    TFTP_RunExternal(upload);
    for (int i = 0; i < 3; ++i) {
        upload.path = folder.file(std::to_string(i));
        write_file(upload.path, std::to_string(i));
        upload.after_upload = std::string(RECORD_ARGS_PATH) + " " + record() + " ?";
        TFTP_RunExternal(upload);
    }
    EXPECT_NE(trace().find("waits its turn: 1 commands run at once."), std::string::npos);
    EXPECT_FALSE(file_exists(record())); // the first still runs
    ASSERT_TRUE(wait_until(
        [&] { return read_file(record()).find(native_path(folder.file("2"))) != std::string::npos; },
        10000));
    std::string recorded = read_text_file(record());
    EXPECT_LT(recorded.find(native_path(folder.file("0"))),
              recorded.find(native_path(folder.file("1"))));
    settings_serve(server_settings{});
}

} // namespace
