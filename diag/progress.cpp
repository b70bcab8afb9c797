#include "progress.h"

#include "platform/thread.h"
#include "role.h"
#include "shared_flags.h"
#include "status.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

// The first data and every end of a transfer wake the thread; this is only a safety net.
constexpr auto first_data_poll = std::chrono::milliseconds(1000);
constexpr auto line_interval = std::chrono::milliseconds(1000);

// Each transfer's progress has a generation; a summary or the next transfer ends it, and a
// thread writes only while its own generation is current, under the same lock as the summary.
std::mutex mutex;
std::condition_variable changed;
int current_generation = 0;

bool goes_on(int generation) {
    return current_generation == generation && !stop_flag && role().serving();
}

// Sleeps for span or until the generation ends; whether the thread may go on.
bool pause(std::unique_lock<std::mutex>& lock, int generation, std::chrono::milliseconds span) {
    changed.wait_for(lock, span);
    return goes_on(generation);
}

void show_count(const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, byte_count.load());
    status_text(text);
}

void summary(const char* moved_format, double elapsed) {
    char text[128];
    if (byte_count != 0)
        std::snprintf(text, sizeof text, moved_format, byte_count.load(), elapsed);
    else
        std::snprintf(text, sizeof text, role().texts.waited, elapsed);
    status_final(text);
}

} // namespace

void status_final(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    ++current_generation;
    changed.notify_all();
    status_text(text);
}

void progress_data_moved() {
    std::lock_guard<std::mutex> lock(mutex);
    changed.notify_all();
}

void progress_start() {
    int generation;
    {
        std::lock_guard<std::mutex> lock(mutex);
        generation = ++current_generation;
        changed.notify_all();
    }
    thread_start([generation] { progress_thread(generation); });
}

void progress_thread(int generation) {
    thread_priority_below_normal();
    std::unique_lock<std::mutex> lock(mutex);
    while (byte_count == 0) {
        if (transfer_kind == 0 || !goes_on(generation)) return;
        if (!pause(lock, generation, first_data_poll)) return;
    }
    const role_texts& texts = role().texts;
    while (transfer_kind == 1 && goes_on(generation)) {
        show_count(texts.progress_kind_1);
        if (!pause(lock, generation, line_interval)) return;
    }
    while (transfer_kind == 2 && goes_on(generation)) {
        show_count(texts.progress_kind_2);
        if (!pause(lock, generation, line_interval)) return;
    }
}

void summary_received(double elapsed) { summary("%d bytes received in %.1f seconds.", elapsed); }

void summary_sent(double elapsed) { summary(role().texts.summary_sent, elapsed); }
