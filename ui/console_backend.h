// The console backend of headless mode: the status line goes to standard output with the time of
// day, message boxes to standard error answered with their default button, choosers are cancelled.
#pragma once

// status_id names the control that is the program's status line.
void ui_console_install(int status_id);
