// The trace log: one timestamped line per event, appended to a file of the user's choice while
// tracing is on.
#pragma once

#include "platform/clock.h"

#include <atomic>
#include <string>

// Tracing is on. Every writer of a trace line tests it first.
extern std::atomic<int> trace_enabled;

// Prepares tracing for a transfer: off when switch_on is false, else the log at path is opened
// for appending. 1 when the program may go on, 0 when the switch is on but the log is not open
// (the user has been told why).
int trace_open(bool switch_on, const std::string& path);
// As trace_open, for settings read again while serving: a log open at path stays open (a server
// that has become its user may not open it again), and where a log at another path cannot be
// opened the one open stays, which the status line says.
void trace_reopen(bool switch_on, const std::string& path);
// Turns tracing off and closes the log.
void trace_close();
// Closes the log without touching trace_enabled; later lines are dropped until it is reopened.
void trace_drop_log();
// Appends one line with the time of day; text beyond 199 characters is cut.
void trace_write(const std::string& text);
// Formats and writes a line when tracing is on.
void trace_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "hh:mm:ss.mmm: text\n"
std::string trace_format(const time_of_day& at, const std::string& text);
