// Error reports: traced, then shown in a box titled "Error". A fatal report also runs the
// program's abort routine and ends the calling worker thread.
#pragma once

[[noreturn]] void report_fatal(const char* text);
[[noreturn]] void report_fatal(const char* format, int value);
[[noreturn]] void report_fatal(const char* format, int first, int second);

void report_error(const char* text);
void report_error(const char* format, const char* argument);
