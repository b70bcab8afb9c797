#include "choosers.h"

#include "diag/status.h"
#include "server_controls.h"
#include "server_window.h"
#include "settings.h"
#include "ui/ui.h"

#include <cstdio>

using namespace tftps_controls;

namespace {

// The longest path a chooser gives a setting.
constexpr size_t chosen_path_limit = 259;


} // namespace

void choose_root_folder(int field) {
    std::string folder;
    if (!ui_choose_folder("Choose a root folder...", &folder)) return;
    ui_set_text(field, folder.substr(0, chosen_path_limit));
    // As if the user had typed it.
    server_command(field);
    status_text("Root directory selected.");
}

void choose_trace_file() {
    ui_file_chooser chooser;
    chooser.title = "Write trace information in...";
    chooser.filters = {{"Log files", "*.log"}};
    chooser.initial = settings_now()->TracePath;
    chooser.save = true;
    std::string path;
    if (!ui_choose_file(chooser, &path)) return;
    path = path.substr(0, chosen_path_limit + 1);
    server_settings value = *settings_now();
    value.TracePath = path;
    settings_serve(value);
    // An open log is not reopened: the new path serves from the next time tracing starts.
    char text[300];
    std::snprintf(text, sizeof text, "Trace data will be in %s.", path.c_str());
    status_text(text);
}

void choose_command() {
    ui_file_chooser chooser;
    chooser.title = "Find external program to launch...";
    chooser.filters = {{"Executable files", "*"}, {"All files", "*"}};
    chooser.must_exist = true;
    chooser.executables_only = true;
    std::string path;
    if (!ui_choose_file(chooser, &path)) return;
    ui_answer answer = ui_message_box(
        "You will need to enter a '?' to specify the uploaded file as an argument.\nWould you like "
        "to add it to the end of the command now?",
        "Add the argument", ui_icon::question, ui_buttons::yes_no_cancel);
    if (answer == ui_answer::cancel) return;
    // The command is split into words at blanks, so a program path with blanks is quoted.
    std::string program = path.find_first_of(" \t") == std::string::npos ? path : '"' + path + '"';
    std::string command = answer == ui_answer::yes ? program + " ?" : program;
    if (command.size() > chosen_path_limit) {
        ui_beep();
        return;
    }
    char text[300];
    std::snprintf(text, sizeof text, "Will launch %s.", path.c_str());
    status_text(text);
    ui_set_text(IDC_COMMAND, command);
    server_command(IDC_COMMAND);
}
