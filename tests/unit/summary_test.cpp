// The texts a finished transfer leaves on the status line.
#include "diag/progress.h"
#include "diag/shared_flags.h"
#include "engine_fixture.h"
#include "server/server_controls.h"
#include "ui/ui.h"

using namespace tftps_controls;

namespace {

using summary_test = engine_test;

std::string status() { return ui_get_text(IDC_STATUS, 300); }

TEST_F(summary_test, counts_bytes_and_whole_seconds) {
    byte_count = 1000;
    summary_received(3.0);
    EXPECT_EQ(status(), "1000 bytes received in 3.0 seconds.");
    summary_sent(0.0);
    EXPECT_EQ(status(), "1000 bytes sent in 0.0 seconds.");
}

TEST_F(summary_test, a_transfer_that_moved_nothing_asks_about_the_client) {
    byte_count = 0;
    summary_sent(2.0);
    EXPECT_EQ(status(), "Waited 2.0 seconds. Is there a client problem?");
}

} // namespace
