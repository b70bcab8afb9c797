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

void show_count(const char* format, const transfer_meter& meter) {
    if (!format) return; // the role shows the count another way
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<long long>(meter.bytes.load()));
    const std::string pace = meter.pace();
    status_text(pace.empty() ? text : std::string(text) + " " + pace + ".");
}

void summary(const char* moved_format, int64_t bytes, double elapsed) {
    char text[128];
    if (bytes != 0)
        std::snprintf(text, sizeof text, moved_format, static_cast<long long>(bytes), elapsed);
    else
        std::snprintf(text, sizeof text, role().texts.waited, elapsed);
    transfer_final(text);
}

void progress_thread(int generation, const std::shared_ptr<transfer_meter>& meter) {
    thread_priority_below_normal();
    std::unique_lock<std::mutex> lock(mutex);
    while (meter->bytes == 0) {
        if (meter->kind == 0 || !goes_on(generation)) return;
        if (!pause(lock, generation, first_data_poll)) return;
    }
    const role_texts& texts = role().texts;
    while (meter->kind == 1 && goes_on(generation)) {
        show_count(texts.progress_kind_1, *meter);
        if (!pause(lock, generation, line_interval)) return;
    }
    while (meter->kind == 2 && goes_on(generation)) {
        show_count(texts.progress_kind_2, *meter);
        if (!pause(lock, generation, line_interval)) return;
    }
}

} // namespace

std::string transfer_meter::pace() const {
    const int blocks = window.load();
    if (blocks == 0) return "";
    std::string text = "Window " + std::to_string(blocks) + (blocks == 1 ? " block" : " blocks");
    if (const int64_t rate = pacing.load(); rate > 0) {
        char shown[32];
        std::snprintf(shown, sizeof shown, ", pacing %.1f MB/s", static_cast<double>(rate) / 1e6);
        text += shown;
    }
    return text;
}

void status_final(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    ++current_generation;
    changed.notify_all();
    status_text(text);
}

void transfer_final(const std::string& text) {
    if (!role().ends_in_rows) return status_final(text);
    std::lock_guard<std::mutex> lock(mutex);
    ++current_generation;
    changed.notify_all();
}

void progress_data_moved() {
    std::lock_guard<std::mutex> lock(mutex);
    changed.notify_all();
}

void progress_start(std::shared_ptr<transfer_meter> meter) {
    int generation;
    {
        std::lock_guard<std::mutex> lock(mutex);
        generation = ++current_generation;
        changed.notify_all();
    }
    // Without a thread to spare there is no progress line; the transfer goes on all the same.
    (void)thread_start(
        [generation, meter = std::move(meter)] { progress_thread(generation, meter); });
}

void summary_received(int64_t bytes, double elapsed) {
    summary("%lld bytes received in %.1f seconds.", bytes, elapsed);
}

void summary_sent(int64_t bytes, double elapsed) {
    summary(role().texts.summary_sent, bytes, elapsed);
}
