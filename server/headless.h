// pellsd --headless: the window logic on the console, with options that override the settings
// in memory, serving until SIGINT or SIGTERM.
#pragma once

// Runs the headless server; the result is the process's exit status.
int headless_main(int argc, char** argv);
void headless_usage(const char* program);
