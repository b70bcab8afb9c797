#include "console_backend.h"

#include "control_store.h"
#include "platform/clock.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::atomic<int> status_control{0};
std::atomic<int> meter_bar{0}, meter_rate{0};
std::atomic<bool> status_shown{true};
std::atomic<FILE*> lines{stdout};
std::mutex output;
bool meter_drawn = false; // the last thing written is the meter, without its line's end

void draw_meter() {
    std::string rate = store_get_text(meter_rate);
    std::string line = store_get_text(meter_bar) + (rate.empty() ? "" : ", " + rate);
    std::lock_guard<std::mutex> lock(output);
    std::fprintf(lines, "\r%s\x1b[K", line.c_str());
    std::fflush(lines);
    meter_drawn = true;
}

// The meter stays as it was drawn, and what comes next begins a line of its own. The caller holds
// the output.
void meter_line_end() {
    if (meter_drawn) std::fputc('\n', lines);
    meter_drawn = false;
}

// A line takes the meter's place; the meter comes back below it at its next change.
void print_line(const std::string& line) {
    std::lock_guard<std::mutex> lock(output);
    if (meter_drawn) std::fputs("\r\x1b[K", lines);
    meter_drawn = false;
    std::fprintf(lines, "%s\n", line.c_str());
    std::fflush(lines);
}

void print_status(const std::string& text) {
    time_of_day t = clock_time_of_day();
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d ", t.hours, t.minutes, t.seconds);
    std::string line = time;
    line += text;
    print_line(line);
}

void console_set_text(int id, const std::string& text) {
    store_set_text(id, text);
    if (id != 0 && (id == meter_bar || id == meter_rate)) return draw_meter();
    if (id == status_control && status_shown) print_status(text);
}

ui_answer console_message_box(const std::string& text, const std::string& title, ui_icon,
                              ui_buttons buttons) {
    std::lock_guard<std::mutex> lock(output);
    meter_line_end();
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    return default_answer(buttons);
}

bool console_choose_file(const ui_file_chooser&, std::string*) { return false; }
bool console_choose_folder(const std::string&, std::string*) { return false; }
// Headless programs open no dialogs.
void console_run_dialog(int) {}
void console_end_dialog(int) {}
void console_beep() {}
void console_close() {}
void console_set_progress(int id, int permille) { store_set_progress(id, permille); }

const ui_backend console = {
    console_set_text,    store_get_text,      store_set_checked,     store_is_checked,
    store_enable,        store_is_enabled,    store_focus,           store_select_all,
    store_list_fill,     store_list_select,   store_list_selection,  store_list_entry,
    console_message_box, console_choose_file, console_choose_folder, console_run_dialog,
    console_end_dialog,  console_beep,        console_close,         console_set_progress,
};

} // namespace

void ui_console_meter(int bar_id, int rate_id) {
    meter_bar = bar_id;
    meter_rate = rate_id;
}

void ui_console_status_shown(bool shown) { status_shown = shown; }

void ui_console_say(const std::string& text) { print_status(text); }

void ui_console_lines_to(FILE* stream) { lines = stream; }

void ui_console_end_line() {
    std::lock_guard<std::mutex> lock(output);
    meter_line_end();
}

void ui_console_install(int status_id) {
    status_control = status_id;
    ui_install(&console);
}
