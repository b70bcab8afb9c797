#include "transfer_gauge.h"

#include "client_controls.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "ui/ui.h"

#include <cstdio>
#include <deque>
#include <mutex>

using namespace tftpc_controls;

namespace {

constexpr int tick_ms = 250;
// The rate is taken over the last two seconds, so that it follows a change within them.
constexpr size_t rate_span_ticks = 8;

// Shared with the gauge's thread, which runs detached: never destroyed.
struct gauge_state {
    std::mutex mutex;
    int generation = 0; // each transfer's thread draws only while its own is current
    std::shared_ptr<transfer_meter> meter;
};

gauge_state& gauge() {
    static gauge_state* const shared = new gauge_state;
    return *shared;
}

// A count as a person reads it: 1,048,576.
std::string grouped(int64_t count) {
    const std::string digits = std::to_string(count);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

void draw(int64_t bytes, int64_t total, int permille, const std::string& rate) {
    char text[96];
    if (total > 0)
        std::snprintf(text, sizeof text, "%s of %s bytes, %d%%", grouped(bytes).c_str(),
                      grouped(total).c_str(), permille / 10);
    else
        std::snprintf(text, sizeof text, "%s bytes", grouped(bytes).c_str());
    ui_set_progress(IDC_PROGRESS, permille);
    ui_set_text(IDC_PROGRESS, text);
    ui_set_text(IDC_RATE, rate);
}

int share(int64_t bytes, int64_t total) {
    return total > 0 ? static_cast<int>(std::min<int64_t>(1000, bytes * 1000 / total)) : -1;
}

void gauge_thread(int generation, std::shared_ptr<transfer_meter> meter) {
    thread_priority_below_normal();
    struct sample {
        uint64_t ms;
        int64_t bytes;
    };
    std::deque<sample> samples{{clock_ms(), 0}};
    for (;;) {
        sleep_ms(tick_ms);
        sample now{clock_ms(), meter->bytes.load()};
        samples.push_back(now);
        if (samples.size() > rate_span_ticks) samples.pop_front();
        const sample& first = samples.front();
        const double moved = static_cast<double>(now.bytes - first.bytes);
        const double seconds = static_cast<double>(now.ms - first.ms) / 1000.0;
        const int64_t total = meter->total;
        std::string rate = rate_text(moved, seconds);
        if (total > now.bytes && moved > 0) {
            rate += ", ";
            rate += remaining_text(static_cast<double>(total - now.bytes) * seconds / moved);
        }
        gauge_state& g = gauge();
        std::lock_guard<std::mutex> lock(g.mutex);
        if (g.generation != generation) return;
        // Nothing to tell before the first block: the request may still be unanswered.
        if (now.bytes > 0) draw(now.bytes, total, share(now.bytes, total), rate);
    }
}

} // namespace

std::string rate_text(double bytes, double seconds) {
    double rate = seconds > 0 ? bytes / seconds : 0;
    char text[32];
    if (rate >= 1e6)
        std::snprintf(text, sizeof text, "%.1f MB/s", rate / 1e6);
    else if (rate >= 1e3)
        std::snprintf(text, sizeof text, "%.0f kB/s", rate / 1e3);
    else
        std::snprintf(text, sizeof text, "%.0f B/s", rate);
    return text;
}

std::string remaining_text(double seconds) {
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole < 60)
        std::snprintf(text, sizeof text, "%lld s left", whole);
    else if (whole < 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld left", whole / 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld left", whole / 3600, whole / 60 % 60,
                      whole % 60);
    return text;
}

void gauge_stop() {
    gauge_state& g = gauge();
    std::lock_guard<std::mutex> lock(g.mutex);
    ++g.generation;
    g.meter.reset();
}

void gauge_reset() {
    gauge_stop();
    std::lock_guard<std::mutex> lock(gauge().mutex);
    ui_set_progress(IDC_PROGRESS, 0);
    ui_set_text(IDC_PROGRESS, "");
    ui_set_text(IDC_RATE, "");
}

void gauge_start(std::shared_ptr<transfer_meter> meter) {
    gauge_state& g = gauge();
    std::lock_guard<std::mutex> lock(g.mutex);
    int generation = ++g.generation;
    g.meter = meter;
    ui_set_progress(IDC_PROGRESS, share(0, meter->total));
    // Without a thread to spare the bar rests until the end; the transfer goes on all the same.
    (void)thread_start([generation, meter = std::move(meter)] { gauge_thread(generation, meter); });
}

void gauge_end(bool completed, double seconds) {
    gauge_state& g = gauge();
    std::lock_guard<std::mutex> lock(g.mutex);
    ++g.generation;
    if (!g.meter) return;
    const int64_t bytes = g.meter->bytes, total = g.meter->total;
    // A transfer that failed before its first block has no count to leave.
    if (bytes == 0 && !completed) return g.meter.reset();
    int permille = share(bytes, total);
    if (permille < 0) permille = completed ? 1000 : 0;
    draw(bytes, total, permille, rate_text(static_cast<double>(bytes), seconds));
    g.meter.reset();
}
