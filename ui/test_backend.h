// The test backend: records every call, keeps the controls in memory and answers message boxes
// and choosers from a script, so that window logic is tested without a display.
#pragma once

#include "ui.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ui_test_box {
    std::string text, title;
    ui_icon icon;
    ui_buttons buttons;
};

// Installs the backend with every control, record and script emptied.
void ui_test_install();
// The calls so far, one line each, such as "set_text 1027 TFTP server is enabled.".
std::vector<std::string> ui_test_log();
std::vector<ui_test_box> ui_test_boxes();
// The next boxes answer with these, in order; with none left a box takes its first button.
void ui_test_answer(ui_answer answer);
// The next choosers answer with these paths, in order; nullopt, or none left, cancels.
void ui_test_choose(std::optional<std::string> path);
int ui_test_focused();
// A progress bar's permille; a list's entries (rows with their cells separated by tabs).
int ui_test_progress(int id);
std::vector<std::string> ui_test_rows(int id);
// What the user does while a dialog is open: script runs with the dialog's identifier, as if the
// user worked in it, until the logic ends the dialog (or the script returns).
void ui_test_on_dialog(std::function<void(int dialog_id)> script);
// While held, a box is recorded and then keeps the thread that asked for it waiting, as a box
// nobody has answered yet would; releasing lets every waiting box take its answer.
void ui_test_hold_boxes(bool hold);
