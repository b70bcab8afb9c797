// Makes a window from its layout with Qt's widgets: each control as its kind is in Qt, placed
// where its dialog units put it with the window's font (as Windows' dialog manager places them),
// and bound to its identifier.
#pragma once

#include "qt_backend.h"
#include "ui/window_layout.h"

// The program's main window.
qt_main_window* qt_window_build(const window_layout& layout);
// A dialog of the main window, which ui_run_dialog(dialog_id) runs modally.
QDialog* qt_dialog_build(const window_layout& layout, QWidget* owner, int dialog_id);
