#include "ui.h"

#include <atomic>

namespace {
std::atomic<const ui_backend*> current{nullptr};
const ui_backend& b() { return *current.load(); }
} // namespace

void ui_install(const ui_backend* backend) { current = backend; }

void ui_set_text(int id, const std::string& text) { b().set_text(id, text); }
std::string ui_get_text(int id, size_t max) { return b().get_text(id).substr(0, max); }
void ui_set_checked(int id, bool on) { b().set_checked(id, on); }
bool ui_is_checked(int id) { return b().is_checked(id); }
void ui_enable(int id, bool on) { b().enable(id, on); }
bool ui_is_enabled(int id) { return b().is_enabled(id); }
void ui_focus(int id) { b().focus(id); }
void ui_select_all(int id) { b().select_all(id); }
void ui_list_fill(int id, const std::vector<std::string>& entries) { b().list_fill(id, entries); }
void ui_list_select(int id, int index) { b().list_select(id, index); }
int ui_list_selection(int id) { return b().list_selection(id); }
std::string ui_list_entry(int id, int index) { return b().list_entry(id, index); }
ui_answer ui_message_box(const std::string& text, const std::string& title, ui_icon icon,
                         ui_buttons buttons) {
    return b().message_box(text, title, icon, buttons);
}
bool ui_choose_file(const ui_file_chooser& chooser, std::string* path) {
    return b().choose_file(chooser, path);
}
bool ui_choose_folder(const std::string& title, std::string* path) {
    return b().choose_folder(title, path);
}
void ui_run_dialog(int dialog_id) { b().run_dialog(dialog_id); }
void ui_end_dialog(int dialog_id) { b().end_dialog(dialog_id); }
void ui_beep() { b().beep(); }
void ui_close() { b().close(); }
void ui_set_progress(int id, int permille) { b().set_progress(id, permille); }
