// The machine's folders.
#pragma once

#include <string>

// $TMPDIR, or /tmp, always ending in a slash.
std::string temp_folder();
// The process's current folder; empty when it cannot be read.
std::string current_folder();
// What separates the parts of a path: the slash, and on Windows the backslash too.
extern const char* const path_separators;
// A path written as the system's own programs expect it: on Windows with backslashes only.
std::string native_path(const std::string& path);
