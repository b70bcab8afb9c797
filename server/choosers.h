// The server window's choosers: a root folder, the trace file and the post-upload command.
#pragma once

void choose_root_folder(int field);
void choose_trace_file();
void choose_command();
