#include "transfer_totals.h"

#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "platform/clock.h"
#include "platform/thread.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

constexpr int line_interval_ms = 1000;

std::mutex mutex;
std::vector<std::shared_ptr<transfer_meter>> meters;
bool ticking = false;

std::string totals_line() {
    int64_t sent = 0, received = 0;
    for (const auto& m : meters)
        (m->kind == 1 ? sent : received) += m->bytes.load();
    char text[128];
    int length = std::snprintf(text, sizeof text, "%zu transfer%s", meters.size(),
                               meters.size() == 1 ? "" : "s");
    if (sent > 0 || received == 0)
        length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length),
                                ", %lld bytes sent", static_cast<long long>(sent));
    if (received > 0)
        length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length),
                                ", %lld bytes received", static_cast<long long>(received));
    return std::string(text, static_cast<size_t>(length)) + ".";
}

void ticker() {
    thread_priority_below_normal();
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        lock.unlock();
        sleep_ms(line_interval_ms);
        lock.lock();
        meters.erase(std::remove_if(meters.begin(), meters.end(),
                                    [](const auto& m) { return m->kind == 0; }),
                     meters.end());
        if (meters.empty() || stop_flag || !role().serving()) break;
        status_text(totals_line());
    }
    meters.clear();
    ticking = false;
}

} // namespace

void totals_join(std::shared_ptr<transfer_meter> meter) {
    std::lock_guard<std::mutex> lock(mutex);
    meters.push_back(std::move(meter));
    if (ticking) return;
    ticking = true;
    thread_start(ticker);
}
