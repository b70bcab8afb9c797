// The machine's folders.
#pragma once

#include <string>

// $TMPDIR, or /tmp, always ending in a slash.
std::string temp_folder();
// The process's current folder; empty when it cannot be read.
std::string current_folder();
