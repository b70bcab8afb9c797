// The process's own start and end, and starting a program that runs on its own, without a shell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A program this process started, until process_wait has seen it end.
using process_id = intptr_t;
// Starts argv[0] (found on PATH when it has no slash) with argv as its arguments, in a session of
// its own, with none of this process's descriptors (its standard streams read and write
// /dev/null). 0, with *started to wait for, or the system's error number.
int process_start(const std::vector<std::string>& argv, process_id* started);
// Waits until the program has ended, and lets go of it.
void process_wait(process_id started);
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
