// The console backend of headless mode: the status line goes to standard output with the time of
// day, message boxes to standard error answered with their default button, choosers are cancelled.
#pragma once

// status_id names the control that is the program's status line.
void ui_console_install(int status_id);
// For a terminal: the texts of a progress bar and of its rate label are drawn as one line,
// redrawn in place as they change; a status line takes its place.
void ui_console_meter(int bar_id, int rate_id);
