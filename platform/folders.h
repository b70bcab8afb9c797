// The machine's folders.
#pragma once

#include <string>

// $TMPDIR, or /tmp, always ending in a slash.
std::string temp_folder();
// Where a program keeps what lives only while it runs: the user's own runtime folder
// ($XDG_RUNTIME_DIR) where there is one, else the temporary folder; always ending in a slash.
std::string runtime_folder();
// The process's current folder; empty when it cannot be read.
std::string current_folder();
// The user's home folder.
std::string home_folder();
// The folder a server serves unless told otherwise: the current one, except where that is a
// folder nobody means to serve whole (the user's home, the program's own folder, the system's
// root, where a desktop entry or a Start-menu shortcut starts it); then a folder of the user's
// own for it: ~/tftp, or TFTP in the user's documents on Windows.
std::string served_folder_default();
// What separates the parts of a path: the slash, and on Windows the backslash too.
extern const char* const path_separators;
// A path written as the system's own programs expect it: on Windows with backslashes only.
std::string native_path(const std::string& path);
