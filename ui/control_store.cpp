#include "control_store.h"

#include <map>
#include <mutex>

namespace {

struct control {
    std::string text;
    bool checked = false;
    bool enabled = true;
    std::vector<std::string> entries;
    int selection = -1;
    int progress = 0;
};

std::mutex mutex;
std::map<int, control> controls;
int focused = 0;

} // namespace

void store_reset() {
    std::lock_guard<std::mutex> lock(mutex);
    controls.clear();
    focused = 0;
}

void store_set_text(int id, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    controls[id].text = text;
}

std::string store_get_text(int id) {
    std::lock_guard<std::mutex> lock(mutex);
    return controls[id].text;
}

void store_set_checked(int id, bool on) {
    std::lock_guard<std::mutex> lock(mutex);
    controls[id].checked = on;
}

bool store_is_checked(int id) {
    std::lock_guard<std::mutex> lock(mutex);
    return controls[id].checked;
}

void store_enable(int id, bool on) {
    std::lock_guard<std::mutex> lock(mutex);
    controls[id].enabled = on;
}

bool store_is_enabled(int id) {
    std::lock_guard<std::mutex> lock(mutex);
    return controls[id].enabled;
}

void store_focus(int id) {
    std::lock_guard<std::mutex> lock(mutex);
    focused = id;
}

int store_focused() {
    std::lock_guard<std::mutex> lock(mutex);
    return focused;
}

void store_select_all(int) {}

void store_list_fill(int id, const std::vector<std::string>& entries) {
    std::lock_guard<std::mutex> lock(mutex);
    controls[id].entries = entries;
    controls[id].selection = -1;
}

void store_list_select(int id, int index) {
    std::lock_guard<std::mutex> lock(mutex);
    control& c = controls[id];
    c.selection = index >= 0 && index < static_cast<int>(c.entries.size()) ? index : -1;
}

int store_list_selection(int id) {
    std::lock_guard<std::mutex> lock(mutex);
    return controls[id].selection;
}

std::string store_list_entry(int id, int index) {
    std::lock_guard<std::mutex> lock(mutex);
    const control& c = controls[id];
    return index >= 0 && index < static_cast<int>(c.entries.size()) ? c.entries[index] : "";
}

std::vector<std::string> store_list_entries(int id) {
    std::lock_guard<std::mutex> lock(mutex);
    return controls[id].entries;
}

void store_set_progress(int id, int permille) {
    std::lock_guard<std::mutex> lock(mutex);
    controls[id].progress = permille;
}

int store_progress(int id) {
    std::lock_guard<std::mutex> lock(mutex);
    return controls[id].progress;
}

ui_answer default_answer(ui_buttons buttons) {
    return buttons == ui_buttons::ok ? ui_answer::ok : ui_answer::yes;
}
