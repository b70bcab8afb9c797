#include "trace.h"

#include "platform/files.h"
#include "status.h"
#include "ui/ui.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>

std::atomic<int> trace_enabled{0};

namespace {

constexpr size_t trace_text_limit = 199;

std::mutex log_mutex;
FILE* log_stream = nullptr;
std::string log_path; // where log_stream writes

} // namespace

int trace_open(bool switch_on, const std::string& path) {
    trace_enabled = 0;
    if (!switch_on) return 1;
    if (path.empty()) {
        ui_message_box("Please provide a log filename or disable logging.", "No log filename",
                       ui_icon::error, ui_buttons::ok);
        return 0;
    }
    FILE* stream = log_open(path);
    if (!stream) {
        ui_message_box("Failed to open the log file. Transfer aborted.", error_text(errno),
                       ui_icon::error, ui_buttons::ok);
        return 0;
    }
    {
        // A log already open is closed first, so that one stream serves every thread.
        std::lock_guard<std::mutex> lock(log_mutex);
        if (log_stream) std::fclose(log_stream);
        log_stream = stream;
        log_path = path;
    }
    trace_enabled = 1;
    return 1;
}

void trace_reopen(bool switch_on, const std::string& path) {
    std::string kept;
    {
        std::lock_guard<std::mutex> lock(log_mutex);
        if (log_stream) kept = log_path;
    }
    // Nothing open to keep: opened as at the start, a failure said as there.
    if (!switch_on || kept.empty()) {
        trace_open(switch_on, path);
        return;
    }
    trace_enabled = 1;
    if (path == kept) return;
    FILE* stream = log_open(path);
    if (!stream) {
        status_text("The log " + path + " cannot be opened (" + error_text(errno) +
                    "); tracing goes on in " + kept + ".");
        return;
    }
    std::lock_guard<std::mutex> lock(log_mutex);
    std::fclose(log_stream);
    log_stream = stream;
    log_path = path;
}

void trace_close() {
    if (!trace_enabled) return;
    trace_enabled = 0;
    std::lock_guard<std::mutex> lock(log_mutex);
    if (!log_stream) return;
    int result = std::fclose(log_stream);
    log_stream = nullptr;
    if (result != 0)
        ui_message_box("Failed to close the log file.", error_text(errno), ui_icon::error,
                       ui_buttons::ok);
}

void trace_drop_log() {
    std::lock_guard<std::mutex> lock(log_mutex);
    if (log_stream) std::fclose(log_stream);
    log_stream = nullptr;
}

std::string trace_format(const time_of_day& at, const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03u: ", at.hours, at.minutes, at.seconds,
                  static_cast<unsigned>(at.milliseconds));
    return stamp + text.substr(0, trace_text_limit) + "\n";
}

void trace_write(const std::string& text) {
    std::string line = trace_format(clock_time_of_day(), text);
    std::lock_guard<std::mutex> lock(log_mutex);
    if (!log_stream) return;
    // Flushed at once: a line that sits in a buffer is lost when the program is killed.
    std::fputs(line.c_str(), log_stream);
    std::fflush(log_stream);
}

void trace_line(const char* format, ...) {
    if (!trace_enabled) return;
    char text[trace_text_limit + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    trace_write(text);
}
