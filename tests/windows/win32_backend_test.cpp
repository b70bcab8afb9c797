// What the Win32 backend does itself, under Wine on a display: the windows made from their
// layouts, the user's actions routed to the command handler, Windows' keys, and calls from other
// threads carried to the window thread in order. The window rules are tested once, through the
// recording backend.
#include "server/server_controls.h"
#include "server/server_window_layout.h"
#include "ui/ui.h"
#include "win32/win32_backend.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tftps_controls;

namespace {

std::vector<int> commands;
int close_requests = 0;
HWND window = nullptr;

// The window thread's messages, until done holds (at most 10 s).
template <typename F>
bool pump_until(F done) {
    for (int tick = 0; tick < 1000 && !done(); ++tick) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(10);
    }
    return done();
}

// The thread runs while the window thread takes its messages.
template <typename F>
void on_worker(F work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    EXPECT_TRUE(pump_until([&] { return done.load(); }));
    worker.join();
}

class win32_backend : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        window = win32_backend_install(
            server_window_layout(), {{IDD_ACCESS_LISTS, access_dialog_layout()}},
            {[](int id) { commands.push_back(id); }, [] { ++close_requests; }});
        ShowWindow(window, SW_SHOW);
    }
    void SetUp() override { commands.clear(); }
};

TEST_F(win32_backend, every_control_of_the_layouts_is_made_in_its_state) {
    HWND access = FindWindowW(L"TFTPIPS", nullptr);
    ASSERT_TRUE(window && access);
    EXPECT_FALSE(IsWindowVisible(access));
    for (auto [dialog, layout] :
         {std::pair{window, server_window_layout()}, std::pair{access, access_dialog_layout()}})
        for (const window_control& c : layout.controls) {
            if (c.id < 0) continue;
            HWND control = GetDlgItem(dialog, c.id);
            ASSERT_TRUE(control) << c.id;
            EXPECT_EQ(IsWindowEnabled(control) != 0, !c.disabled) << c.id;
        }
    HWND header = ListView_GetHeader(GetDlgItem(window, IDC_RECENT_TRANSFERS));
    EXPECT_EQ(Header_GetItemCount(header), 7);
}

TEST_F(win32_backend, the_users_clicks_and_edits_are_commands_and_the_programs_texts_are_not) {
    SendMessageW(GetDlgItem(window, IDC_ALLOW_UPLOAD), BM_CLICK, 0, 0);
    EXPECT_TRUE(ui_is_checked(IDC_ALLOW_UPLOAD));
    ui_set_text(IDC_PORT, "69");
    SendMessageW(GetDlgItem(window, IDC_PORT), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"7"));
    EXPECT_EQ(commands, (std::vector<int>{IDC_ALLOW_UPLOAD, IDC_PORT}));
    // The title bar's close goes to the program, which decides.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(close_requests, 1);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(win32_backend, a_dialog_runs_modally_enter_breaks_a_line_and_escape_ends_it) {
    ui_set_text(IDC_INDIVIDUAL_CLIENTS, "10.0.0.5\n10.0.0.6");
    ui_focus(IDC_INDIVIDUAL_CLIENTS);
    HWND field = GetDlgItem(FindWindowW(L"TFTPIPS", nullptr), IDC_INDIVIDUAL_CLIENTS);
    // Keys as the keyboard sends them; the window thread's loop makes their characters.
    for (UINT key : {VK_END, VK_RETURN, VK_ESCAPE})
        PostMessageW(field, WM_KEYDOWN, key, 0);
    ui_run_dialog(IDD_ACCESS_LISTS); // returns once Escape has ended it
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(ui_get_text(IDC_INDIVIDUAL_CLIENTS, 100), "10.0.0.5\n10.0.0.6\n");
}

TEST_F(win32_backend, a_workers_calls_run_on_the_window_thread_in_the_order_made) {
    // A worker never waits for what it only tells the window.
    std::thread([] { ui_set_text(IDC_STATUS, "from a worker"); }).join();
    EXPECT_TRUE(pump_until([] { return ui_get_text(IDC_STATUS, 100) == "from a worker"; }));
    std::string seen;
    on_worker([&] {
        ui_list_fill(IDC_TIMEOUT, {"2", "3", "4"});
        ui_list_select(IDC_TIMEOUT, 1);
        seen = ui_list_entry(IDC_TIMEOUT, ui_list_selection(IDC_TIMEOUT));
    });
    EXPECT_EQ(seen, "3");
    // A box a worker asks for is shown by the window thread, owned by the window, and blocks
    // that worker only.
    std::thread answerer([] {
        HWND box = nullptr;
        for (int tick = 0; tick < 1000 && !(box = FindWindowW(L"#32770", L"Reset options")); ++tick)
            Sleep(10);
        EXPECT_EQ(GetWindow(box, GW_OWNER), window);
        PostMessageW(box, WM_COMMAND, IDNO, 0);
    });
    ui_answer answer = ui_answer::yes;
    on_worker([&] {
        answer = ui_message_box("Revert?", "Reset options", ui_icon::question, ui_buttons::yes_no);
    });
    answerer.join();
    EXPECT_EQ(answer, ui_answer::no);
}

TEST_F(win32_backend, table_rows_are_split_into_their_cells) {
    ui_list_fill(IDC_RECENT_TRANSFERS, {"09:41:07\t10.0.20.31\tphone.cfg\tdownload\t1\t0.1\tok"});
    wchar_t cell[32] = {};
    ListView_GetItemText(GetDlgItem(window, IDC_RECENT_TRANSFERS), 0, 2, cell, 32);
    EXPECT_STREQ(cell, L"phone.cfg");
}

} // namespace
