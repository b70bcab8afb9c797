#include "engine_fixture.h"

#include "client/client_role.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "platform/registry.h"
#include "platform/thread.h"
#include "server/server_role.h"
#include "server/settings.h"
#include "ui/test_backend.h"
#include "wait_until.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

std::atomic<int> client_like_aborts{0};

void engine_test::SetUp() {
    for (const char* temp : {"TMPDIR", "TMP", "XDG_RUNTIME_DIR"})
        set_environment(temp, folder.path());
    status_file_instance("");
    set_environment("XDG_CONFIG_HOME", folder.file("config"));
    // Started from a folder of its own, as a user starts a program from a folder of files: the
    // tests' folder is the program's own, which is never served whole.
    started_in_ = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
#ifdef _WIN32
    // The registry outlives a test: each keeps its settings in a file of its own instead.
    registry_use_file(folder.file("settings.ini"));
#endif
    ui_test_install();
    role_install(&server_role);
    ServerEnabled = 0;
    stop_clear();
    packet_timeout = 120;
    ASSERT_EQ(trace_open(true, folder.file("trace.log")), 1);
}

void engine_test::TearDown() {
    std::filesystem::current_path(started_in_);
    trace_close();
    for (const char* name : {"TMPDIR", "TMP", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
        unset_environment(name);
}

void engine_test::use_role(const role_profile& profile) { role_install(&profile); }

const role_profile& client_like_role() {
    static const role_profile profile = [] {
        role_profile p = client_role;
        p.status_control = server_role.status_control; // one status line for every test
        p.abort = [] { ++client_like_aborts; };
        return p;
    }();
    return profile;
}

std::string box_since(size_t count) {
    std::vector<ui_test_box> boxes = ui_test_boxes();
    if (boxes.size() == count) return "<no new box>";
    if (boxes.size() > count + 1) return "<more than one new box>";
    return boxes.back().text;
}

ui_test_box last_box_shown() {
    std::vector<ui_test_box> boxes = ui_test_boxes();
    return boxes.empty() ? ui_test_box{"<no box>", "<no box>", ui_icon::information, ui_buttons::ok}
                         : boxes.back();
}

std::string last_call() {
    std::vector<std::string> log = ui_test_log();
    return log.empty() ? "<no call>" : log.back();
}

bool holds_open(const std::string& folder) {
    // Only Linux lists a process's open files where a test can read them.
    if (!std::filesystem::exists("/proc/self/fd")) return false;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ignored;
        std::string target = std::filesystem::read_symlink(entry.path(), ignored).string();
        if (target.rfind(folder + "/", 0) == 0) return true;
    }
    return false;
}

bool run_on_worker(const std::function<void()>& fn, int timeout_ms) {
    struct outcome {
        std::atomic<int> ended{0}, returned{0};
    };
    auto state = std::make_shared<outcome>();
    (void)thread_start([state, fn] {
        struct mark_end {
            outcome& o;
            ~mark_end() { o.ended = 1; }
        } mark{*state};
        fn();
        state->returned = 1;
    });
    EXPECT_TRUE(wait_until([&] { return state->ended == 1; }, timeout_ms)) << "worker never ended";
    return state->returned == 1;
}
