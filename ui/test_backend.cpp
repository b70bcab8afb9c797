#include "test_backend.h"

#include "control_store.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

std::mutex mutex;
std::condition_variable released;
bool holding = false;
std::vector<std::string> log;
std::vector<ui_test_box> boxes;
std::deque<ui_answer> answers;
std::deque<std::optional<std::string>> choices;

void record(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex);
    log.push_back(line);
}

std::string flag(bool on) { return on ? "1" : "0"; }

void t_set_text(int id, const std::string& text) {
    record("set_text " + std::to_string(id) + " " + text);
    store_set_text(id, text);
}
void t_set_checked(int id, bool on) {
    record("set_checked " + std::to_string(id) + " " + flag(on));
    store_set_checked(id, on);
}
void t_enable(int id, bool on) {
    record("enable " + std::to_string(id) + " " + flag(on));
    store_enable(id, on);
}
void t_focus(int id) {
    record("focus " + std::to_string(id));
    store_focus(id);
}
void t_select_all(int id) { record("select_all " + std::to_string(id)); }
void t_list_fill(int id, const std::vector<std::string>& entries) {
    record("list_fill " + std::to_string(id) + " " + std::to_string(entries.size()));
    store_list_fill(id, entries);
}
void t_list_select(int id, int index) {
    record("list_select " + std::to_string(id) + " " + std::to_string(index));
    store_list_select(id, index);
}

ui_answer t_message_box(const std::string& text, const std::string& title, ui_icon icon,
                        ui_buttons buttons) {
    std::unique_lock<std::mutex> lock(mutex);
    log.push_back("message_box " + title + ": " + text);
    boxes.push_back({text, title, icon, buttons});
    // A box that the user has not answered yet holds the thread that asked for it.
    released.wait(lock, [] { return !holding; });
    if (answers.empty()) return default_answer(buttons);
    ui_answer answer = answers.front();
    answers.pop_front();
    return answer;
}

bool next_choice(const std::string& what, std::string* path) {
    std::lock_guard<std::mutex> lock(mutex);
    log.push_back(what);
    if (choices.empty()) return false;
    std::optional<std::string> choice = choices.front();
    choices.pop_front();
    if (!choice) return false;
    *path = *choice;
    return true;
}

bool t_choose_file(const ui_file_chooser& chooser, std::string* path) {
    return next_choice("choose_file " + chooser.title, path);
}
bool t_choose_folder(const std::string& title, std::string* path) {
    return next_choice("choose_folder " + title, path);
}
std::function<void(int)> dialog_script;

void t_run_dialog(int dialog_id) {
    record("run_dialog " + std::to_string(dialog_id));
    std::function<void(int)> script;
    {
        std::lock_guard<std::mutex> lock(mutex);
        script = dialog_script;
    }
    if (script) script(dialog_id);
}
void t_end_dialog(int dialog_id) { record("end_dialog " + std::to_string(dialog_id)); }
void t_beep() { record("beep"); }
void t_close() { record("close"); }
void t_set_progress(int id, int permille) {
    record("set_progress " + std::to_string(id) + " " + std::to_string(permille));
    store_set_progress(id, permille);
}

const ui_backend recorder = {
    t_set_text,           store_get_text,   t_set_checked, store_is_checked, t_enable,
    store_is_enabled,     t_focus,          t_select_all,  t_list_fill,      t_list_select,
    store_list_selection, store_list_entry, t_message_box, t_choose_file,    t_choose_folder,
    t_run_dialog,         t_end_dialog,     t_beep,        t_close,          t_set_progress,
};

} // namespace

void ui_test_install() {
    store_reset();
    {
        std::lock_guard<std::mutex> lock(mutex);
        log.clear();
        boxes.clear();
        answers.clear();
        choices.clear();
        dialog_script = nullptr;
        holding = false;
    }
    released.notify_all();
    ui_install(&recorder);
}

std::vector<std::string> ui_test_log() {
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

std::vector<ui_test_box> ui_test_boxes() {
    std::lock_guard<std::mutex> lock(mutex);
    return boxes;
}

void ui_test_answer(ui_answer answer) {
    std::lock_guard<std::mutex> lock(mutex);
    answers.push_back(answer);
}

void ui_test_choose(std::optional<std::string> path) {
    std::lock_guard<std::mutex> lock(mutex);
    choices.push_back(std::move(path));
}

int ui_test_focused() { return store_focused(); }
int ui_test_progress(int id) { return store_progress(id); }
std::vector<std::string> ui_test_rows(int id) { return store_list_entries(id); }

void ui_test_on_dialog(std::function<void(int dialog_id)> script) {
    std::lock_guard<std::mutex> lock(mutex);
    dialog_script = std::move(script);
}

void ui_test_hold_boxes(bool hold) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        holding = hold;
    }
    released.notify_all();
}
