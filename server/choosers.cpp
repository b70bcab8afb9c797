#include "choosers.h"

#include "settings.h"
#include "ui/ui.h"

namespace {
// The longest path a chooser gives a setting.
constexpr size_t chosen_path_limit = 259;
} // namespace

bool choose_root_folder(std::string* folder) {
    if (!ui_choose_folder("Choose a root folder...", folder)) return false;
    *folder = folder->substr(0, chosen_path_limit);
    return true;
}

bool choose_trace_file(std::string* path) {
    ui_file_chooser chooser;
    chooser.title = "Write trace information in...";
    chooser.filters = {{"Log files", "*.log"}};
    chooser.initial = settings_now()->TracePath;
    chooser.save = true;
    if (!ui_choose_file(chooser, path)) return false;
    *path = path->substr(0, chosen_path_limit + 1);
    return true;
}

bool choose_command(std::string* command, std::string* program) {
    ui_file_chooser chooser;
    chooser.title = "Find external program to launch...";
    chooser.filters = {{"Executable files", "*"}, {"All files", "*"}};
    chooser.must_exist = true;
    chooser.executables_only = true;
    if (!ui_choose_file(chooser, program)) return false;
    ui_answer answer = ui_message_box(
        "You will need to enter a '?' to specify the uploaded file as an argument.\nWould you like "
        "to add it to the end of the command now?",
        "Add the argument", ui_icon::question, ui_buttons::yes_no_cancel);
    if (answer == ui_answer::cancel) return false;
    // The command is split into words at blanks, so a program path with blanks is quoted.
    const std::string& path = *program;
    std::string quoted = path.find_first_of(" \t") == std::string::npos ? path : '"' + path + '"';
    *command = answer == ui_answer::yes ? quoted + " ?" : quoted;
    if (command->size() <= chosen_path_limit) return true;
    ui_beep();
    return false;
}
