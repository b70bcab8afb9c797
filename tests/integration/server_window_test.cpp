// The server window's logic through the recording backend: the stored settings, every command
// with its status line, the Enable checks, the access dialog, the choosers and the close.
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine_fixture.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/socket.h"
#include "server/daemon.h"
#include "server/listeners.h"
#include "server/server_controls.h"
#include "server/server_run.h"
#include "server/server_window.h"
#include "server/settings.h"
#include "settings_store.h"
#include "udp_peer.h"
#include "ui/test_backend.h"
#include "ui/ui.h"
#include "wait_until.h"

#include <unistd.h>

using namespace tftps_controls;

namespace {

class server_window : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        trace_close();
        listen_port_override = free_udp_port();
    }
    void TearDown() override {
        server_disable();
        EXPECT_TRUE(wait_until([] { return daemon_running == 0; }, 5000));
        listen_port_override = 0;
        settings_serve(server_settings{});
        engine_test::TearDown();
    }
    static void store(std::initializer_list<std::pair<const char*, std::string>> values) {
        store_settings(server_settings_key, values);
    }
    static std::string stored(const char* name) { return stored_setting(server_settings_key, name); }
    static std::string status() { return ui_get_text(IDC_STATUS, 300); }
    // Clicks a check box as the user would: its state flips, then its command runs.
    static void click(int id) {
        ui_set_checked(id, !ui_is_checked(id));
        server_command(id);
    }
    static std::string last_box() {
        auto boxes = ui_test_boxes();
        return boxes.empty() ? "" : boxes.back().text;
    }
};

TEST_F(server_window, a_first_start_advises_and_keeps_the_factory_defaults) {
    server_window_open();
    ASSERT_EQ(ui_test_boxes().size(), 1u);
    EXPECT_EQ(ui_test_boxes()[0].title, "Configuration advice");
    EXPECT_EQ(ui_test_boxes()[0].text, "The TFTP server has reverted to factory settings.\nIt is "
                                       "recommended that you modify them for your needs.\nNo "
                                       "settings are stored in " +
                                           folder.file("config/Drumvale/PelloryTFTP server.ini") +
                                           " yet; saving them creates it.");
    EXPECT_FALSE(ui_is_checked(IDC_ALLOW_UPLOAD));
    EXPECT_FALSE(ui_is_checked(IDC_ALLOW_DOWNLOAD));
    EXPECT_TRUE(ui_is_checked(IDC_RESTRICT_UPLOAD));
    EXPECT_TRUE(ui_is_checked(IDC_RESTRICT_DOWNLOAD));
    EXPECT_EQ(ui_get_text(IDC_UPLOAD_ROOT, 300), current_folder());
    EXPECT_EQ(ui_get_text(IDC_DOWNLOAD_ROOT, 300), current_folder());
    EXPECT_EQ(ui_list_entry(IDC_TIMEOUT, ui_list_selection(IDC_TIMEOUT)), "120");
    EXPECT_EQ(ServerEnabled, 0);
    // As root, the window says how to do without.
    if (geteuid() == 0) {
        EXPECT_EQ(status().rfind("Running as root. To serve port 69 without", 0), 0u);
    }
}

// What cannot be used is said, once, with what stands in its place.
TEST_F(server_window, a_stored_yes_in_any_case_enables_the_server_as_the_window_opens) {
    store({{"ServerEnabled", "yes"},
           {"AllowDownload", "YES"},
           {"AllowUpload", "Yess"},
           {"RestrictDownload", "Yes"},
           {"RestrictDownloadPath", folder.path()},
           {"RestrictUpload", "No"},
           {"Timeout", "30"},
           {"MaxTransfers", "0"},
           {"MaxTransfer", "8"}});
    server_window_open();
    ASSERT_EQ(ui_test_boxes().size(), 1u);
    EXPECT_EQ(ui_test_boxes()[0].text,
              "Some settings stored in " + registry_location(server_settings_key) + " cannot be used:\n"
              "line 4: AllowUpload is 'Yess', not Yes or No; No is used.\n"
              "line 9: MaxTransfers is '0', not a number from 1 to 1024; 1 is used.\n"
              "line 10: MaxTransfer is not a setting of this program; it is ignored.");
    EXPECT_EQ(ServerEnabled, 1);
    EXPECT_TRUE(wait_until([] { return ui_get_text(IDC_STATUS_ICON, 20) == ICON_ENABLED; }, 5000));
    EXPECT_TRUE(ui_is_checked(IDC_ALLOW_DOWNLOAD));
    EXPECT_FALSE(ui_is_checked(IDC_ALLOW_UPLOAD));
    EXPECT_FALSE(ui_is_enabled(IDC_UPLOAD_ROOT));
    EXPECT_EQ(ui_get_text(IDC_DOWNLOAD_ROOT, 300), folder.path());
    EXPECT_EQ(ui_list_entry(IDC_TIMEOUT, ui_list_selection(IDC_TIMEOUT)), "30");
}

TEST_F(server_window, save_writes_switches_and_only_the_companions_of_those_on) {
    store({{"RunExternalExe", "notify ?"}});
    server_window_open();
    click(IDC_NO_OVERWRITE);
    click(IDC_ALLOW_UPLOAD);
    ui_list_select(IDC_TIMEOUT, 28);
    server_command(IDC_SAVE);
    EXPECT_EQ(last_box(), "The current options have been saved.");
    EXPECT_EQ(last_box_shown().title, "Saved options");
    EXPECT_EQ(status(), "Options have been saved.");
    EXPECT_EQ(stored("AllowOverwrite"), "Yes");
    EXPECT_EQ(stored("AllowUpload"), "Yes");
    EXPECT_EQ(stored("AllowDownload"), "No");
    EXPECT_EQ(stored("ServerEnabled"), "No");
    EXPECT_EQ(stored("RunExternal"), "No");
    EXPECT_EQ(stored("RunExternalExe"), "notify ?"); // kept from the earlier save
    EXPECT_EQ(stored("RestrictUploadPath"), current_folder());
    EXPECT_EQ(stored("ServiceIPC"), "<none>");
    EXPECT_EQ(stored("Timeout"), "30");

    server_window_open(); // the next start shows them, the kept command included
    EXPECT_TRUE(ui_is_checked(IDC_NO_OVERWRITE));
    EXPECT_EQ(ui_get_text(IDC_COMMAND, 300), "notify ?");
}

TEST_F(server_window, reset_returns_to_the_saved_options_after_a_yes_only) {
    server_window_open();
    click(IDC_ALLOW_DOWNLOAD);
    server_command(IDC_SAVE);
    click(IDC_ALLOW_DOWNLOAD);
    ui_test_answer(ui_answer::no);
    server_command(IDC_RESET);
    EXPECT_EQ(last_box_shown().title, "Reset options");
    EXPECT_EQ(last_box_shown().text, "Are you sure you want to revert to the saved options?");
    EXPECT_EQ(settings_now()->AllowDownload, 0);
    ui_test_answer(ui_answer::yes);
    server_command(IDC_RESET);
    EXPECT_EQ(settings_now()->AllowDownload, 1);
    EXPECT_TRUE(ui_is_checked(IDC_ALLOW_DOWNLOAD));
    EXPECT_EQ(status(), "Options have been reset.");
}

TEST_F(server_window, reset_never_changes_whether_the_server_runs) {
    server_window_open();
    server_command(IDC_SAVE); // stored: ServerEnabled No
    server_command(IDC_ENABLE);
    ASSERT_EQ(ServerEnabled, 1);
    ui_test_answer(ui_answer::yes);
    server_command(IDC_RESET);
    EXPECT_EQ(ServerEnabled, 1);
    EXPECT_EQ(ui_get_text(IDC_ENABLE, 30), "Disable s&erver");
}

TEST_F(server_window, enable_and_disable_show_their_state) {
    server_window_open();
    server_command(IDC_ENABLE);
    EXPECT_EQ(ServerEnabled, 1);
    EXPECT_EQ(ui_get_text(IDC_ENABLE, 30), "Disable s&erver");
    // Enabled once the daemon listens, after it has named where.
    EXPECT_TRUE(wait_until([] { return status() == "TFTP server is enabled."; }, 5000));
    EXPECT_EQ(ui_get_text(IDC_STATUS_ICON, 20), ICON_ENABLED);
    EXPECT_EQ(ui_get_text(IDC_STATUS_SENTENCE, 100),
              "The Trivial FTP server is currently enabled.");
    auto log = ui_test_log();
    EXPECT_LT(std::find_if(log.begin(), log.end(),
                           [](const std::string& l) { return l.find("Listening on ") != l.npos; }),
              std::find(log.begin(), log.end(), "set_text 1027 TFTP server is enabled."));
    server_command(IDC_ENABLE);
    EXPECT_EQ(ServerEnabled, 0);
    EXPECT_EQ(ui_get_text(IDC_STATUS_ICON, 20), ICON_DISABLED);
    EXPECT_EQ(ui_get_text(IDC_STATUS_SENTENCE, 100),
              "The Trivial FTP server is currently disabled.");
    EXPECT_EQ(ui_get_text(IDC_ENABLE, 30), "&Enable server");
    EXPECT_EQ(status(), "TFTP server is disabled.");
    server_command(IDC_ENABLE); // and again, on the same port
    EXPECT_TRUE(wait_readable(daemon_listening_event(), -1, 5000)); // bound again
}

// The first daemon is held inside its report box (its port was taken) while the user disables
// and enables again: the new run waits for it, says so, and is left alone by its abort.
TEST_F(server_window, a_new_enable_waits_for_a_daemon_still_ending_and_never_runs_two) {
    store({{"Timeout", "120"}}); // no first-start advice
    server_window_open();
    struct release {
        ~release() { ui_test_hold_boxes(false); }
    } boxes_released_at_the_end;
    {
        udp_peer holder(0x7f000001, static_cast<uint16_t>(listen_port_override.load()));
        ui_test_hold_boxes(true);
        server_command(IDC_ENABLE);
        ASSERT_TRUE(wait_until([] { return !ui_test_boxes().empty(); }, 5000));
    }
    EXPECT_EQ(last_box().rfind("net_init: can't bind local address 0.0.0.0, port ", 0), 0u);
    server_command(IDC_ENABLE); // Disable
    server_command(IDC_ENABLE); // and Enable again, with the port free now
    EXPECT_TRUE(wait_until([] { return status() == "Waiting for the previous server to stop..."; },
                           3000))
        << status();
    EXPECT_FALSE(wait_readable(daemon_listening_event(), -1, 0));
    EXPECT_EQ(daemon_running, 2);
    ui_test_hold_boxes(false);
    ASSERT_TRUE(wait_readable(daemon_listening_event(), -1, 5000));
    EXPECT_TRUE(wait_until([] { return daemon_running == 1; }, 5000));
    EXPECT_EQ(ServerEnabled, 1);
    udp_peer client; // and it serves
    client.send_to(static_cast<uint16_t>(listen_port_override.load()),
                   tftp_request(1, "a.bin", "octet"));
    auto answer = client.receive(5000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->bytes.substr(0, 4), tftp_packet(5, 2));
}

TEST_F(server_window, an_unknown_service_is_reported_and_a_port_given_serves) {
    EXPECT_EQ(net_listen_port("no-such-service"), listen_port_override);
    listen_port_override = 0;
    trace_open(true, folder.file("trace.log"));
    EXPECT_EQ(net_listen_port("no-such-service"), 69);
    EXPECT_EQ(last_box(), "net_init: unknown service: no-such-service/udp.");
    EXPECT_NE(trace().find("net_init: Listening on port 69, the port of TFTP."), std::string::npos);
    ui_set_text(IDC_PORT, "6970"); // the window's own port
    server_command(IDC_PORT);
    EXPECT_EQ(net_listen_port("no-such-service"), 6970);
}

TEST_F(server_window, the_extensions_limits_are_stored_checked_and_fall_back_out_of_range) {
    store({{"Extensions", "Yes"}, {"MaxBlockSize", "70000"}, {"MaxWindowSize", "8"}});
    server_window_open();
    EXPECT_TRUE(ui_is_checked(IDC_EXTENSIONS));
    EXPECT_TRUE(ui_is_enabled(IDC_MAX_BLOCK_SIZE));
    EXPECT_EQ(ui_get_text(IDC_MAX_BLOCK_SIZE, 10), "65464");
    EXPECT_EQ(ui_get_text(IDC_MAX_WINDOW_SIZE, 10), "8");
    ui_set_text(IDC_MAX_WINDOW_SIZE, "0"); // the user types
    server_command(IDC_MAX_WINDOW_SIZE);
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "The largest window size must be a number from 1 to 512.");
    EXPECT_EQ(ServerEnabled, 0);
    ui_set_text(IDC_MAX_WINDOW_SIZE, "16");
    server_command(IDC_MAX_WINDOW_SIZE);
    server_command(IDC_SAVE);
    EXPECT_EQ(stored("Extensions"), "Yes");
    EXPECT_EQ(stored("MaxBlockSize"), "65464");
    EXPECT_EQ(stored("MaxWindowSize"), "16");
}

TEST_F(server_window, a_config_file_takes_the_place_of_the_users_store) {
    const std::string config = folder.file("pellsd.conf");
    write_file(config, "[General]\nAllowDownload=Yes\nTimeout=7\n");
    registry_use_file(config);
    server_window_open();
    EXPECT_TRUE(ui_is_checked(IDC_ALLOW_DOWNLOAD));
    click(IDC_ALLOW_UPLOAD);
    server_command(IDC_SAVE);
    registry_use_file("");
    EXPECT_NE(read_file(config).find("AllowUpload=Yes\n"), std::string::npos) << read_file(config);
    EXPECT_NE(read_file(config).find("Timeout=7\n"), std::string::npos);
    EXPECT_EQ(stored("AllowUpload"), "<no key>");
}

TEST_F(server_window, the_transfer_limits_are_stored_checked_and_fall_back_out_of_range) {
    store({{"MaxTransfers", "2000"}, {"MaxPerClient", "4"}});
    server_window_open();
    EXPECT_EQ(ui_get_text(IDC_MAX_TRANSFERS, 10), "1");
    EXPECT_EQ(ui_get_text(IDC_MAX_PER_CLIENT, 10), "4");
    ui_set_text(IDC_MAX_TRANSFERS, "0");
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "The simultaneous transfers must be a number from 1 to 1024.");
    EXPECT_EQ(ServerEnabled, 0);
    ui_set_text(IDC_MAX_TRANSFERS, "200");
    server_command(IDC_MAX_TRANSFERS);
    server_command(IDC_SAVE);
    EXPECT_EQ(stored("MaxTransfers"), "200");
    EXPECT_EQ(stored("MaxPerClient"), "4");
}

TEST_F(server_window, the_network_fields_are_checked_at_enable_and_stored) {
    server_window_open();
    ui_set_text(IDC_LISTEN_ADDRESSES, "127.0.0.1, router.lab");
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "'router.lab' is not an address to listen on.");
    ui_set_text(IDC_LISTEN_ADDRESSES, "127.0.0.1");
    ui_set_text(IDC_PORT_RANGE, "9:1");
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "The transfer ports must be a range such as 50000:50099.");
    EXPECT_EQ(ServerEnabled, 0);
    ui_set_text(IDC_PORT_RANGE, "50000:50099");
    server_command(IDC_PORT_RANGE);
    ui_list_select(IDC_LISTEN_FAMILY, 1);
    server_command(IDC_SAVE);
    EXPECT_EQ(stored("ListenAddresses"), "127.0.0.1");
    EXPECT_EQ(stored("PortRange"), "50000:50099");
    EXPECT_EQ(stored("ListenFamily"), "4");
}

TEST_F(server_window, enable_refuses_missing_roots_and_commands) {
    server_window_open();
    click(IDC_ALLOW_UPLOAD);
    click(IDC_ALLOW_DOWNLOAD);
    ui_set_text(IDC_UPLOAD_ROOT, "");
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "Please provide an upload root path.");
    EXPECT_EQ(ServerEnabled, 0);
    EXPECT_NE(ui_get_text(IDC_ENABLE, 30), "Disable s&erver");

    ui_set_text(IDC_UPLOAD_ROOT, folder.path());
    ui_set_text(IDC_DOWNLOAD_ROOT, folder.file("missing"));
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "Download root '" + folder.file("missing") + "' does not exist.");

    write_file(folder.file("a.txt"), "x");
    ui_set_text(IDC_DOWNLOAD_ROOT, folder.file("a.txt"));
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "Download root '" + folder.file("a.txt") + "' is not a folder.");

    ui_set_text(IDC_DOWNLOAD_ROOT, folder.path() + "/" + std::string(140, 'x'));
    server_command(IDC_ENABLE);
    EXPECT_EQ(settings_now()->RestrictDownloadPath.size(), 127u); // cut at Enable

    ui_set_text(IDC_DOWNLOAD_ROOT, folder.path());
    click(IDC_RUN_EXTERNAL);
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "Please provide a command to run after each uploaded file.");
    EXPECT_EQ(ServerEnabled, 0);
}

// Each box of the table switches its setting and the controls that go with it, and answers on
// the status line with what the switch now means.
TEST_F(server_window, every_option_box_switches_its_setting_and_its_controls) {
    ui_test_choose(folder.file("trace.log")); // the trace's box asks for its file
    server_window_open();
    int boxes = 0;
    for (const server_row& row : server_setting_table().rows()) {
        if (row.control_kind != setting_control::check_box) continue;
        ++boxes;
        for (int click_number = 0; click_number < 2; ++click_number) {
            click(row.control);
            const bool on = ui_is_checked(row.control);
            EXPECT_EQ(settings_now().get()->*row.number, on ? 1 : 0) << row.name;
            for (int control : row.enables)
                EXPECT_TRUE(!control || ui_is_enabled(control) == on) << row.name << " " << control;
            if (on && row.enables[0]) {
                EXPECT_EQ(ui_test_focused(), row.enables[0]) << row.name;
            }
            EXPECT_EQ(status(), on ? row.on_text : row.off_text) << row.name;
        }
    }
    EXPECT_EQ(boxes, 12);
    click(IDC_RUN_EXTERNAL);
    ui_set_text(IDC_COMMAND, "reload ?"); // the user types
    server_command(IDC_COMMAND);
    EXPECT_EQ(settings_now()->RunExternalExe, "reload ?");
}

TEST_F(server_window, tracing_without_a_file_asks_for_one_and_enable_then_fails) {
    server_window_open();
    click(IDC_TRACE);
    EXPECT_EQ(last_box_shown().title, "No log filename");
    EXPECT_TRUE(ui_is_checked(IDC_TRACE));
    EXPECT_EQ(status(), "Tracing has been enabled.");
    EXPECT_TRUE(ui_is_enabled(IDC_TRACE_CHOOSER));
    server_command(IDC_ENABLE);
    EXPECT_EQ(last_box(), "Failed to open the log file.");
    EXPECT_EQ(ui_test_boxes()[ui_test_boxes().size() - 2].title, "No log filename");
    EXPECT_EQ(ServerEnabled, 0);

    ui_test_choose(folder.file("server.log"));
    server_command(IDC_TRACE_CHOOSER);
    EXPECT_EQ(status(), "Trace data will be in " + folder.file("server.log") + ".");
    server_command(IDC_ENABLE);
    EXPECT_EQ(ServerEnabled, 1);
    EXPECT_NE(read_file(folder.file("server.log")).find("PelloryTFTP server v1.0.1 commencing..."),
              std::string::npos);
    click(IDC_TRACE);
    EXPECT_EQ(status(), "Tracing has been disabled.");
    EXPECT_EQ(trace_enabled, 0);
}

TEST_F(server_window, the_access_dialog_checks_before_it_takes_the_lists) {
    server_window_open();
    serve_settings([](server_settings& s) { s.ServiceIPW = "10.0.0.*"; });
    ui_test_on_dialog([](int dialog) {
        EXPECT_EQ(dialog, IDD_ACCESS_LISTS);
        EXPECT_EQ(ui_get_text(IDC_CLIENT_MASKS, 300), "10.0.0.*");
        ui_set_text(IDC_CLIENT_MASKS, "10.*1.0.0");
        server_command(IDC_ACCESS_OK);
        ui_set_text(IDC_CLIENT_MASKS, "10.0.1.*");
        server_command(IDC_ACCESS_CANCEL);
    });
    server_command(IDC_ACCESS_LISTS);
    EXPECT_EQ(last_box(), "10.*1.0.0 is not a valid IP mask address.");
    EXPECT_EQ(settings_now()->ServiceIPW, "10.0.0.*"); // OK refused, then Cancel: the old lists

    ui_test_on_dialog([](int) {
        ui_set_text(IDC_INDIVIDUAL_CLIENTS, "localhost");
        ui_set_text(IDC_CLIENT_MASKS, "192.168.*.*");
        server_command(IDC_ACCESS_OK);
    });
    server_command(IDC_ACCESS_LISTS);
    EXPECT_EQ(settings_now()->ServiceIPC, "localhost");
    EXPECT_EQ(settings_now()->ServiceIPW, "192.168.*.*");
    auto log = ui_test_log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "end_dialog 1100"), 2);
}

TEST_F(server_window, the_choosers_fill_their_fields) {
    server_window_open();
    ui_test_choose(folder.path());
    server_command(IDC_DOWNLOAD_ROOT_CHOOSER);
    EXPECT_EQ(ui_get_text(IDC_DOWNLOAD_ROOT, 300), folder.path());
    EXPECT_EQ(settings_now()->RestrictDownloadPath, folder.path());
    EXPECT_EQ(status(), "Root directory selected.");

    ui_test_choose("/opt/my tools/flash");
    ui_test_answer(ui_answer::yes);
    server_command(IDC_COMMAND_CHOOSER);
    EXPECT_EQ(last_box_shown().title, "Add the argument");
    EXPECT_EQ(settings_now()->RunExternalExe, "\"/opt/my tools/flash\" ?");
    EXPECT_EQ(ui_get_text(IDC_COMMAND, 300), "\"/opt/my tools/flash\" ?");
    EXPECT_EQ(status(), "Will launch /opt/my tools/flash.");
    ui_test_choose("/usr/bin/reload");
    ui_test_answer(ui_answer::no);
    server_command(IDC_COMMAND_CHOOSER);
    EXPECT_EQ(settings_now()->RunExternalExe, "/usr/bin/reload");
    ui_test_choose("/usr/bin/other");
    ui_test_answer(ui_answer::cancel);
    server_command(IDC_COMMAND_CHOOSER);
    EXPECT_EQ(settings_now()->RunExternalExe, "/usr/bin/reload");
    server_command(IDC_UPLOAD_ROOT_CHOOSER); // cancelled: nothing changes
    EXPECT_EQ(ui_get_text(IDC_UPLOAD_ROOT, 300), current_folder());
}

TEST_F(server_window, close_disables_says_goodbye_and_saves_nothing) {
    server_window_open();
    server_command(IDC_ENABLE);
    ASSERT_TRUE(wait_readable(daemon_listening_event(), -1, 5000)); // its instance named
    write_file(status_file_path(), "x");
    server_command(IDC_CLOSE);
    EXPECT_EQ(ServerEnabled, 0);
    EXPECT_TRUE(wait_until([] { return daemon_running == 0; }, 1000));
    EXPECT_EQ(status(), "Thank you for using the PelloryTFTP server.");
    EXPECT_FALSE(file_exists(status_file_path()));
    EXPECT_EQ(last_call(), "close");
    EXPECT_EQ(stored("AllowUpload"), "<no key>");
}

} // namespace
