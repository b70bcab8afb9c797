// The trace log's line format, its opening failures and the reports' copies of their texts.
#include "diag/report.h"
#include "diag/trace.h"
#include "engine_fixture.h"
#include "ui/test_backend.h"

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using trace_test = engine_test;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(trace_format, keeps_the_leading_zeros_of_every_field) {
    EXPECT_EQ(trace_format({14, 3, 7, 45}, "file_close: Closed local file."),
              "14:03:07.045: file_close: Closed local file.\n");
    EXPECT_EQ(trace_format({0, 0, 0, 5}, "x"), "00:00:00.005: x\n");
}

TEST(trace_format, cuts_a_text_beyond_199_characters) {
    std::string line = trace_format({1, 2, 3, 4}, std::string(300, 'a'));
    EXPECT_EQ(line, "01:02:03.004: " + std::string(199, 'a') + "\n");
}

TEST_F(trace_test, writes_timestamped_lines_only_while_tracing_is_on) {
    trace_line("net_init: Successfully bound server socket.");
    trace_enabled = 0;
    trace_line("not written");
    trace_enabled = 1;
    trace_line("Sending ACK for block# %d.", 7);
    std::vector<std::string> lines = lines_of(trace());
    ASSERT_EQ(lines.size(), 2u);
    std::regex stamp(R"(^\d\d:\d\d:\d\d\.\d{3}: )");
    EXPECT_TRUE(std::regex_search(lines[0], stamp)) << lines[0];
    EXPECT_EQ(lines[0].substr(14), "net_init: Successfully bound server socket.");
    EXPECT_EQ(lines[1].substr(14), "Sending ACK for block# 7.");
}

TEST_F(trace_test, lines_of_many_threads_never_mix) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 300; ++i)
                trace_line("writer %d line %d of the test.", t, i);
        });
    for (std::thread& w : writers)
        w.join();
    std::vector<std::string> lines = lines_of(trace());
    ASSERT_EQ(lines.size(), 1200u);
    std::regex whole(R"(^\d\d:\d\d:\d\d\.\d{3}: writer [0-3] line \d+ of the test\.$)");
    for (const std::string& line : lines)
        ASSERT_TRUE(std::regex_match(line, whole)) << line;
}

TEST_F(trace_test, switch_off_needs_no_log_and_leaves_tracing_off) {
    EXPECT_EQ(trace_open(false, ""), 1);
    EXPECT_EQ(trace_enabled, 0);
    EXPECT_TRUE(ui_test_boxes().empty());
}

TEST_F(trace_test, switch_on_without_a_path_asks_for_one) {
    EXPECT_EQ(trace_open(true, ""), 0);
    EXPECT_EQ(trace_enabled, 0);
    ASSERT_EQ(ui_test_boxes().size(), 1u);
    EXPECT_EQ(ui_test_boxes()[0].title, "No log filename");
    EXPECT_EQ(ui_test_boxes()[0].text, "Please provide a log filename or disable logging.");
    EXPECT_EQ(ui_test_boxes()[0].icon, ui_icon::error);
}

TEST_F(trace_test, a_log_that_cannot_be_opened_is_titled_with_the_system_error) {
    EXPECT_EQ(trace_open(true, folder.file("missing/trace.log")), 0);
    EXPECT_EQ(trace_enabled, 0);
    ASSERT_EQ(ui_test_boxes().size(), 1u);
    EXPECT_EQ(ui_test_boxes()[0].title, "No such file or directory");
    EXPECT_EQ(ui_test_boxes()[0].text, "Failed to open the log file. Transfer aborted.");
}

TEST_F(trace_test, reopening_appends_to_the_same_file) {
    trace_line("first");
    ASSERT_EQ(trace_open(true, folder.file("trace.log")), 1);
    trace_line("second");
    std::vector<std::string> lines = lines_of(trace());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(14), "second");
}

TEST_F(trace_test, a_dropped_log_keeps_the_switch_but_writes_nothing) {
    trace_drop_log();
    trace_line("dropped");
    EXPECT_EQ(trace_enabled, 1);
    EXPECT_EQ(trace(), "");
}

TEST_F(trace_test, close_turns_tracing_off) {
    trace_close();
    EXPECT_EQ(trace_enabled, 0);
    trace_line("after close");
    EXPECT_EQ(trace(), "");
}

TEST_F(trace_test, a_report_is_traced_exactly_as_its_box_shows_it) {
    report_error("Upload root '%s' does not exist.", "/srv/100%d%s");
    ASSERT_EQ(ui_test_boxes().size(), 1u);
    EXPECT_EQ(ui_test_boxes()[0].title, "Error");
    EXPECT_EQ(ui_test_boxes()[0].text, "Upload root '/srv/100%d%s' does not exist.");
    EXPECT_EQ(ui_test_boxes()[0].icon, ui_icon::error);
    EXPECT_EQ(lines_of(trace()).at(0).substr(14), "Upload root '/srv/100%d%s' does not exist.");
}

TEST_F(trace_test, a_report_longer_than_255_characters_is_cut) {
    report_error("%s", std::string(400, 'x').c_str());
    EXPECT_EQ(ui_test_boxes().at(0).text, std::string(255, 'x'));
}

TEST_F(trace_test, a_fatal_report_runs_the_abort_and_ends_its_thread) {
    use_role(client_like_role());
    client_like_aborts = 0;
    EXPECT_FALSE(run_on_worker([] { report_fatal("recv_ACK: recvblknum > nextblknum."); }));
    EXPECT_EQ(client_like_aborts, 1);
    ASSERT_EQ(ui_test_boxes().size(), 1u);
    EXPECT_EQ(ui_test_boxes()[0].text, "recv_ACK: recvblknum > nextblknum.");
    EXPECT_EQ(ui_test_boxes()[0].icon, ui_icon::error);
}

} // namespace
