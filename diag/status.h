// The status line of the main window, the status file that names the file in transfer, and the
// trace line that names the operating system.
#pragma once

#include <string>

void status_text(const std::string& text);
// Rewrites the status file with path; without a usable temporary folder there is none.
void status_file_write(const std::string& path);
void status_file_delete();
// The full path of the status file; empty when the temporary folder leaves it no room.
std::string status_file_path();
void os_version_line();
