// The process's own start and end, and starting a program that runs on its own, without a shell.
#pragma once

#include <string>
#include <vector>

// Starts argv[0] (found on PATH when it has no slash) with argv as its arguments, in a session of
// its own, with none of this process's descriptors (its standard streams read and write
// /dev/null). Nothing waits for it; it is reaped when it ends. 0, or the system's error number.
int process_start_detached(const std::vector<std::string>& argv);
// Leaves the process at once with status, without destroying the statics that workers still
// running may use; what is to be kept of the output has been flushed.
[[noreturn]] void process_end_now(int status);
// Makes the arguments and the console speak UTF-8, as everything above this layer does: on
// Windows the arguments are read again from the wide command line (argv comes in the ANSI code
// page) and the console is told to show UTF-8; elsewhere they are so already.
void process_use_utf8(int* argc, char*** argv);
// Gives a program that speaks to a console (headless, the command line, --help) its standard
// streams: on Windows, where the programs are windowed programs, those it was started with when
// they lead somewhere (a pipe, a file), else the console of the program that started it, else a
// console of its own. Elsewhere they are there already.
void process_use_console();
