// The window interface that the program logic talks to. Controls are addressed by their numeric
// identifiers; a backend (Qt widgets, Windows' own controls, the console, or the test recorder)
// carries out each call. Any thread may call these.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum class ui_icon { information, warning, error, question };
enum class ui_buttons { ok, yes_no, yes_no_cancel };
enum class ui_answer { ok, yes, no, cancel };

struct ui_file_chooser {
    std::string title;
    std::vector<std::pair<std::string, std::string>> filters; // label, patterns such as "*.log"
    std::string initial;                                      // proposed path or name
    bool save = false;                                        // a save dialog, not an open one
    bool must_exist = false;                                  // the chosen file must exist
    bool confirm_overwrite = false;                           // ask before an existing file
    bool executables_only = false;                            // list only programs
};

struct ui_backend {
    void (*set_text)(int id, const std::string& text);
    std::string (*get_text)(int id);
    void (*set_checked)(int id, bool on);
    bool (*is_checked)(int id);
    void (*enable)(int id, bool on);
    bool (*is_enabled)(int id);
    void (*focus)(int id);
    void (*select_all)(int id);
    void (*list_fill)(int id, const std::vector<std::string>& entries);
    void (*list_select)(int id, int index); // -1 clears the selection
    int (*list_selection)(int id);          // -1 when nothing is selected
    std::string (*list_entry)(int id, int index);
    ui_answer (*message_box)(const std::string& text, const std::string& title, ui_icon icon,
                             ui_buttons buttons);
    bool (*choose_file)(const ui_file_chooser& chooser, std::string* path);
    bool (*choose_folder)(const std::string& title, std::string* path);
    void (*run_dialog)(int dialog_id); // modal; returns when the logic ends the dialog
    void (*end_dialog)(int dialog_id);
    void (*beep)();
    void (*close)();
    // A progress bar: permille done, 0 to 1000, or -1 for work under way whose share is unknown.
    void (*set_progress)(int id, int permille);
};

// The backend in use from now on; it must live for the rest of the process.
void ui_install(const ui_backend* backend);

void ui_set_text(int id, const std::string& text);
// The control's text, cut to at most max characters.
std::string ui_get_text(int id, size_t max);
void ui_set_checked(int id, bool on);
bool ui_is_checked(int id);
void ui_enable(int id, bool on);
bool ui_is_enabled(int id);
void ui_focus(int id);
void ui_select_all(int id);
void ui_list_fill(int id, const std::vector<std::string>& entries);
void ui_list_select(int id, int index);
int ui_list_selection(int id);
std::string ui_list_entry(int id, int index);
ui_answer ui_message_box(const std::string& text, const std::string& title, ui_icon icon,
                         ui_buttons buttons);
bool ui_choose_file(const ui_file_chooser& chooser, std::string* path);
bool ui_choose_folder(const std::string& title, std::string* path);
// Shows a dialog of the window modally; its controls were filled before. Returns once
// ui_end_dialog has been called for it.
void ui_run_dialog(int dialog_id);
void ui_end_dialog(int dialog_id);
void ui_beep();
void ui_close();
void ui_set_progress(int id, int permille);
