// The console backend of headless mode: the status line goes to standard output with the time of
// day, message boxes to standard error answered with their default button, choosers are cancelled.
#pragma once

#include <cstdio>
#include <string>

// status_id names the control that is the program's status line.
void ui_console_install(int status_id);
// For a terminal: the texts of a progress bar and of its rate label are drawn as one line,
// redrawn in place as they change; a status line takes its place.
void ui_console_meter(int bar_id, int rate_id);
// Whether status lines go to standard output as they come (by default they do); say() prints
// one all the same.
void ui_console_status_shown(bool shown);
void ui_console_say(const std::string& text);
// Where the status lines and the meter go: standard output unless standard output carries data.
void ui_console_lines_to(FILE* stream);
// Ends the meter's line, so that what is written next (a farewell, an interruption's message)
// stands on a line of its own.
void ui_console_end_line();
