// The status line of the main window, the status file that names the files in transfer (one per
// line), and the trace line that names the operating system.
#pragma once

#include <string>

void status_text(const std::string& text);
// Names path as the file of owner's transfer and rewrites the status file; without a usable
// temporary folder there is none.
void status_file_write(const std::string& path, const void* owner = nullptr);
// Takes owner's file out of the status file, which goes when it names none.
void status_file_drop(const void* owner);
// Empties the status file: it goes.
void status_file_delete();
// The full path of the status file; empty when the temporary folder leaves it no room.
std::string status_file_path();
// Tells this program's instance apart from others of the same user: tag goes into the status
// file's name ("PYSStat-6969.tmp").
void status_file_instance(const std::string& tag);
void os_version_line();
