#include "report.h"

#include "platform/files.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "progress.h"
#include "role.h"
#include "trace.h"

#include <cstdio>
#include <string>

namespace {

constexpr size_t error_text_limit = 255;

std::string cut(const std::string& text) { return text.substr(0, error_text_limit); }

void show(const std::string& text, ui_icon icon) {
    if (trace_enabled) trace_write(text);
    ui_message_box(text, "Error", icon, ui_buttons::ok);
}

[[noreturn]] void fatal(const std::string& text) {
    show(cut(text), role().fatal_icon);
    role().abort();
    thread_end();
}

[[noreturn]] void transfer_fault(const std::string& text) {
    if (role().faults_are_fatal) fatal(text);
    report_transfer_end(text);
}

template <typename... Args>
std::string format(const char* format, Args... args) {
    char text[error_text_limit + 1];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

void report_fatal(const char* text) { fatal(text); }
void report_fatal(const char* f, int value) { fatal(format(f, value)); }
void report_fatal(const char* f, int first, int second) { fatal(format(f, first, second)); }

void report_transfer_fault(const char* text) { transfer_fault(text); }
void report_transfer_fault(const char* f, int value) { transfer_fault(format(f, value)); }
void report_transfer_fault(const char* f, int first, int second) {
    transfer_fault(format(f, first, second));
}

void report_transfer_end(const std::string& text) {
    std::string message = cut(text);
    if (trace_enabled) trace_write(message);
    transfer_final(message);
    throw transfer_ended{message};
}

void report_peer_unreachable(const char* text) {
    report_transfer_end(std::string(text) + " (" + error_text(sock_last_error()) + ")");
}

void report_error(const char* text) { show(cut(text), ui_icon::error); }
void report_error(const char* f, const char* argument) {
    show(format(f, argument), ui_icon::error);
}
