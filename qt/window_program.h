// The windowed programs' entry, one module each (pellsd-window, pellcl-window): the program loads
// its module only when it opens its window, so that the headless server and the command-line
// client never load the graphical libraries.
#pragma once

#include <QApplication>
#include <cstdlib>

// Both close sequences end by closing the window; workers still running must not see the
// statics destroyed under them.
[[noreturn]] inline void window_program_leave(QApplication& app) {
    app.exec();
    std::quick_exit(0);
}
