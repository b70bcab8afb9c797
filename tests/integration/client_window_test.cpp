// The client window's logic through the recording backend: its defaults, its commands with
// their status lines, the choosers, the stored settings and the close with its question.
#include "client/client_controls.h"
#include "client/client_role.h"
#include "client/client_settings.h"
#include "client/client_window.h"
#include "client/session.h"
#include "engine_fixture.h"
#include "packet_expect.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "settings_store.h"
#include "ui/test_backend.h"
#include "ui/ui.h"
#include "wait_until.h"

using namespace tftpc_controls;

namespace {

class client_window : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        use_role(client_role);
        client_window_open();
    }
    void TearDown() override {
        if (session_running) client_stop();
        EXPECT_TRUE(wait_until([] { return session_running == 0; }, 10000));
        engine_test::TearDown();
    }
    static std::string status() { return ui_get_text(IDC_STATUS, 300); }
    static std::string stored(const char* name) { return stored_setting(client_settings_key, name); }
};

TEST_F(client_window, opens_on_a_binary_download_into_the_current_folder) {
    EXPECT_EQ(ui_get_text(IDC_LOCAL_FILE, 300), current_folder() + "/");
    // The remote file's name in that folder, following it as it is typed until it is edited.
    ui_set_text(IDC_REMOTE_FILE, "images/fw.bin");
    client_command(IDC_REMOTE_FILE);
    EXPECT_EQ(ui_get_text(IDC_LOCAL_FILE, 300), current_folder() + "/fw.bin");
    ui_set_text(IDC_LOCAL_FILE, "/tmp/mine.bin");
    client_command(IDC_LOCAL_FILE);
    ui_set_text(IDC_REMOTE_FILE, "other.bin");
    client_command(IDC_REMOTE_FILE);
    EXPECT_EQ(ui_get_text(IDC_LOCAL_FILE, 300), "/tmp/mine.bin");
    EXPECT_TRUE(ui_is_checked(IDC_DOWNLOAD));
    EXPECT_FALSE(ui_is_checked(IDC_UPLOAD));
    EXPECT_TRUE(ui_is_checked(IDC_BINARY));
    EXPECT_FALSE(ui_is_checked(IDC_ASCII));
    for (int id : {IDC_TRACE_FILE, IDC_TRACE_FILE_CHOOSER, IDC_STOP})
        EXPECT_FALSE(ui_is_enabled(id));
    EXPECT_EQ(ui_list_entry(IDC_PACKET_TIMEOUT, ui_list_selection(IDC_PACKET_TIMEOUT)), "120");
    EXPECT_EQ(ui_test_focused(), IDC_HOST);
    EXPECT_TRUE(ui_test_boxes().empty()); // no stored settings, no message
}

TEST_F(client_window, choices_are_exclusive_and_say_what_they_mean) {
    client_command(IDC_UPLOAD);
    EXPECT_TRUE(ui_is_checked(IDC_UPLOAD));
    EXPECT_FALSE(ui_is_checked(IDC_DOWNLOAD));
    EXPECT_EQ(ui_test_focused(), IDC_LOCAL_FILE);
    EXPECT_EQ(status(), "Files will be transferred to the server.");
    client_command(IDC_DOWNLOAD);
    EXPECT_FALSE(ui_is_checked(IDC_UPLOAD));
    EXPECT_EQ(ui_test_focused(), IDC_REMOTE_FILE);
    EXPECT_EQ(status(), "Files will be transferred from the server.");
    client_command(IDC_ASCII);
    EXPECT_FALSE(ui_is_checked(IDC_BINARY));
    EXPECT_EQ(status(), "Files will be transferred in text mode.");
    client_command(IDC_BINARY);
    EXPECT_FALSE(ui_is_checked(IDC_ASCII));
    EXPECT_EQ(status(), "Files will be transferred in binary mode.");
}

TEST_F(client_window, the_log_box_enables_its_field_and_selects_it) {
    ui_set_checked(IDC_LOG_TRACES, true);
    client_command(IDC_LOG_TRACES);
    EXPECT_TRUE(ui_is_enabled(IDC_TRACE_FILE));
    EXPECT_TRUE(ui_is_enabled(IDC_TRACE_FILE_CHOOSER));
    EXPECT_EQ(ui_test_focused(), IDC_TRACE_FILE);
    EXPECT_EQ(last_call().rfind("set_text", 0), 0u);
    EXPECT_EQ(status(), "Tracing has been enabled.");
    ui_set_checked(IDC_LOG_TRACES, false);
    client_command(IDC_LOG_TRACES);
    EXPECT_FALSE(ui_is_enabled(IDC_TRACE_FILE));
    EXPECT_EQ(status(), "Tracing has been disabled.");
}

TEST_F(client_window, the_local_file_chooser_sets_both_names) {
    ui_test_choose("/home/me/images/a-very-long-firmware-image-name.bin");
    client_command(IDC_LOCAL_FILE_CHOOSER);
    EXPECT_EQ(ui_get_text(IDC_LOCAL_FILE, 300),
              "/home/me/images/a-very-long-firmware-image-name.bin");
    EXPECT_EQ(ui_get_text(IDC_REMOTE_FILE, 300), "a-very-long-firmware-image-name.bin");
    auto log = ui_test_log();
    EXPECT_NE(std::find(log.begin(), log.end(), "choose_file Save downloaded file as..."),
              log.end());
    client_command(IDC_UPLOAD);
    client_command(IDC_LOCAL_FILE_CHOOSER); // cancelled
    EXPECT_EQ(last_call(), "choose_file Choose file to upload...");
    EXPECT_EQ(ui_get_text(IDC_REMOTE_FILE, 300), "a-very-long-firmware-image-name.bin");
}

TEST_F(client_window, close_saves_the_eight_values_and_the_next_start_shows_them) {
    ui_set_text(IDC_HOST, "tftp.lab");
    client_command(IDC_UPLOAD);
    ui_set_text(IDC_REMOTE_FILE, "r.cfg");
    ui_set_text(IDC_LOCAL_FILE, "/tmp/r.cfg");
    client_command(IDC_ASCII);
    ui_set_text(IDC_TRACE_FILE, "/tmp/client.log"); // saved although the box is unchecked
    ui_list_select(IDC_PACKET_TIMEOUT, 3);
    ASSERT_TRUE(client_window_close());
    EXPECT_EQ(last_call(), "close");
    EXPECT_EQ(status(), "Thank you for using the PelloryTFTP client.");
    EXPECT_EQ(stored("Hostname"), "tftp.lab");
    EXPECT_EQ(stored("Action"), "Upload");
    EXPECT_EQ(stored("RemoteFile"), "r.cfg");
    EXPECT_EQ(stored("LocalFile"), "/tmp/r.cfg");
    EXPECT_EQ(stored("Mode"), "Ascii");
    EXPECT_EQ(stored("LogTraces"), "No");
    EXPECT_EQ(stored("TraceFile"), "/tmp/client.log");
    EXPECT_EQ(stored("Timeout"), "5");

    ui_test_install();
    client_window_open();
    EXPECT_EQ(ui_get_text(IDC_HOST, 300), "tftp.lab");
    EXPECT_TRUE(ui_is_checked(IDC_UPLOAD));
    EXPECT_TRUE(ui_is_checked(IDC_ASCII));
    EXPECT_EQ(ui_get_text(IDC_TRACE_FILE, 300), "/tmp/client.log");
    EXPECT_FALSE(ui_is_enabled(IDC_TRACE_FILE));
    EXPECT_EQ(ui_list_entry(IDC_PACKET_TIMEOUT, ui_list_selection(IDC_PACKET_TIMEOUT)), "5");
}

TEST_F(client_window, the_extensions_and_their_sizes_are_stored_and_fall_back_out_of_range) {
    EXPECT_FALSE(ui_is_checked(IDC_EXTENSIONS));
    EXPECT_FALSE(ui_is_enabled(IDC_BLOCK_SIZE));
    EXPECT_EQ(ui_get_text(IDC_BLOCK_SIZE, 10), "1468");
    EXPECT_EQ(ui_get_text(IDC_WINDOW_SIZE, 10), "16");
    ui_set_checked(IDC_EXTENSIONS, true);
    client_command(IDC_EXTENSIONS);
    EXPECT_TRUE(ui_is_enabled(IDC_WINDOW_SIZE));
    ui_set_text(IDC_BLOCK_SIZE, "9000");
    ui_list_select(IDC_IP_VERSION, 2);
    ASSERT_TRUE(client_window_close());
    EXPECT_EQ(stored("Extensions"), "Yes");
    EXPECT_EQ(stored("BlockSize"), "9000");
    EXPECT_EQ(stored("IPVersion"), "IPv6 only");

    store_settings(client_settings_key, {{"BlockSize", "4"}, {"WindowSize", "600"}});
    ui_test_install();
    client_window_open();
    EXPECT_TRUE(ui_is_checked(IDC_EXTENSIONS));
    EXPECT_EQ(ui_get_text(IDC_BLOCK_SIZE, 10), "1468");
    EXPECT_EQ(ui_get_text(IDC_WINDOW_SIZE, 10), "16");
    EXPECT_EQ(ui_list_selection(IDC_IP_VERSION), 2);
}

TEST_F(client_window, stored_choices_are_read_without_regard_to_case) {
    store_settings(client_settings_key,
                   {{"Action", "UPLOAD"}, {"Mode", "ascii"}, {"LogTraces", "yEs"}, {"Timeout", "500"}});
    ui_test_install();
    client_window_open();
    EXPECT_TRUE(ui_is_checked(IDC_UPLOAD));
    EXPECT_TRUE(ui_is_checked(IDC_ASCII));
    EXPECT_TRUE(ui_is_checked(IDC_LOG_TRACES));
    EXPECT_TRUE(ui_is_enabled(IDC_TRACE_FILE));
    EXPECT_EQ(ui_list_selection(IDC_PACKET_TIMEOUT), 118); // out of range: said, 120 used
    EXPECT_EQ(last_box_shown().text, "Some settings stored in " +
                                         registry_location(client_settings_key) +
                                         " cannot be used:\nline 5: Timeout is '500', not a "
                                         "number from 2 to 120; 120 is used.");
}

TEST_F(client_window, closing_during_a_transfer_asks_first) {
    udp_peer server;
    ui_set_text(IDC_HOST, "127.0.0.1:" + std::to_string(server.port()));
    ui_set_text(IDC_REMOTE_FILE, "a.bin");
    ui_set_text(IDC_LOCAL_FILE, folder.file("a.bin"));
    client_command(IDC_START);
    ASSERT_TRUE(server.receive(5000));
    ASSERT_TRUE(wait_until([] { return transfer_active == 1; }, 5000));

    ui_test_answer(ui_answer::no);
    EXPECT_FALSE(client_window_close());
    EXPECT_EQ(last_box_shown().title, "Exiting...");
    EXPECT_EQ(last_box_shown().text,
              "A file transfer is currently in progress. Are you sure you want to exit?");
    EXPECT_EQ(transfer_active, 1);
    EXPECT_EQ(session_running, 1);
    EXPECT_EQ(stored("Hostname"), "<no key>");

    ui_test_answer(ui_answer::yes);
    EXPECT_TRUE(client_window_close());
    EXPECT_EQ(session_running, 0); // stopped before the close
    EXPECT_EQ(last_transfer_end, END_STOPPED);
    EXPECT_NE(stored("Hostname"), "<no key>");
}

} // namespace
