// The program's window lives in a module of its own ("pellsd-window", "pellcl-window"), loaded
// only when the window opens, so that a program without its window never loads the graphical
// libraries.
#pragma once

// Loads the module (beside the program, or in ../lib/pellory from it) and runs its window; the
// exit status, or 1 with the reason on standard error when it cannot be loaded. Without a
// display to show it on, 2, and standard error names what works without one (instead).
int window_module_run(const char* module, const char* instead, int argc, char** argv);
