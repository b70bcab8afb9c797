// The Win32 backend of the window interface: the program's main window and its dialogs are made
// from their layouts, each identifier is bound to its control, calls from worker threads reach
// the window thread as posted messages, and the user's actions reach the program's command
// handler. ui_set_text(id, name) on a picture shows the icon of that name.
#pragma once

#include "dialog_template.h"

#include <utility>
#include <vector>

struct win32_handlers {
    void (*command)(int id); // a control was used
    void (*close)();         // the window's own close request (the title bar, Alt+F4)
};

// A dialog that ui_run_dialog(dialog_id) runs modally.
struct win32_modal {
    int dialog_id;
    window_layout dialog;
};

// Creates the main window, hidden, and the dialogs, on the calling thread, which becomes the
// window thread, and installs the backend. The main window, or null when it cannot be made.
HWND win32_backend_install(const window_layout& window, const std::vector<win32_modal>& dialogs,
                           win32_handlers handlers);
// Shows the main window, runs opened (the logic's opening), then the window thread's messages
// until ui_close.
void win32_backend_run(void (*opened)());
