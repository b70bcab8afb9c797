#include "daemon_fixture.h"

#include "diag/shared_flags.h"
#include "diag/trace.h"
#include "lockstep.h"
#include "platform/socket.h"
#include "server/daemon.h"
#include "server/listeners.h"
#include "server/server_controls.h"
#include "server/server_run.h"
#include "server/server_window.h"
#include "server/settings.h"
#include "settings_store.h"
#include "ui/ui.h"
#include "wait_until.h"

#include <filesystem>

using namespace tftps_controls;

void daemon_test::SetUp() {
    engine_test::SetUp();
    std::filesystem::create_directories(root());
    port = free_udp_port();
    listen_port_override = port;
    // Stored settings exist, so that no first-start advice box shows up among the test's boxes.
    store_settings(server_settings_key, {{"Timeout", "120"}});
    server_window_open();
    serve_settings([this](server_settings& s) {
        s.AllowUpload = s.AllowDownload = 1;
        s.RestrictUploadPath = s.RestrictDownloadPath = root();
        s.TracePath = folder.file("trace.log");
        s.TraceEnabled = 1;
    });
    server_enable();
    ASSERT_EQ(ServerEnabled, 1);
    // Set once the port is bound: a bind that failed never sets it.
    ASSERT_TRUE(wait_readable(daemon_listening_event(), -1, 5000));
}

void daemon_test::TearDown() {
    server_disable();
    EXPECT_TRUE(daemon_wait_end(5000));
    listen_port_override = 0;
    engine_test::TearDown();
}

std::string daemon_test::status() const { return ui_get_text(IDC_STATUS, 1000); }

bool daemon_test::status_shows(const std::string& text, int milliseconds) const {
    return wait_until([&] { return status() == text; }, milliseconds);
}

bool daemon_test::serves_a_download() {
    std::string content = pattern_bytes(1300, 7);
    write_file(root_file("probe.bin"), content);
    udp_peer client;
    client.send_to(port, tftp_request(1, "probe.bin", "octet"));
    lockstep_outcome got = take_blocks(client, 0);
    bool finished = wait_until([] { return transfers_running == 0; }, 5000);
    return got.completed && got.wire == content && ServerEnabled == 1 && finished;
}
