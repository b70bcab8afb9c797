// pellcl --get and --put: the window's controls are filled on the console and Start is pressed,
// so that the command line runs the very transfer the window runs.
#pragma once

// Runs one transfer; the result is the process's exit status: 0 only for a completed transfer.
int command_line_main(int argc, char** argv);
void command_line_usage(const char* program);
