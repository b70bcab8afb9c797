// The server window's choosers: a root folder, the trace file and the post-upload command. Each
// says whether the user chose, and what; the window takes the choice and says it.
#pragma once

#include <string>

bool choose_root_folder(std::string* folder);
bool choose_trace_file(std::string* path);
// The command with the chosen program, and the program's path.
bool choose_command(std::string* command, std::string* program);
