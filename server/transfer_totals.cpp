#include "transfer_totals.h"

#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "platform/clock.h"
#include "platform/thread.h"

#include <mutex>
#include <vector>

namespace {

constexpr int line_interval_ms = 1000;

// Shared with the ticking thread, which runs detached and may still be ending when the process
// exits: never destroyed.
struct totals_state {
    std::mutex mutex;
    std::vector<std::shared_ptr<transfer_meter>> meters;
    bool ticking = false;
};

totals_state& totals() {
    static totals_state* const shared = new totals_state;
    return *shared;
}

std::string totals_line(const std::vector<std::shared_ptr<transfer_meter>>& meters) {
    int64_t sent = 0, received = 0;
    for (const auto& m : meters)
        (m->kind == 1 ? sent : received) += m->bytes.load();
    std::string line =
        std::to_string(meters.size()) + (meters.size() == 1 ? " transfer" : " transfers");
    if (sent > 0 || received == 0) line += ", " + std::to_string(sent) + " bytes sent";
    if (received > 0) line += ", " + std::to_string(received) + " bytes received";
    return line + ".";
}

void ticker() {
    thread_priority_below_normal();
    totals_state& t = totals();
    std::unique_lock<std::mutex> lock(t.mutex);
    for (;;) {
        lock.unlock();
        sleep_ms(line_interval_ms);
        lock.lock();
        std::erase_if(t.meters, [](const auto& m) { return m->kind == 0; });
        if (t.meters.empty() || stop_flag || !role().serving()) break;
        status_text(totals_line(t.meters));
    }
    t.meters.clear();
    t.ticking = false;
}

} // namespace

void totals_join(std::shared_ptr<transfer_meter> meter) {
    totals_state& t = totals();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.meters.push_back(std::move(meter));
    if (t.ticking) return;
    t.ticking = true;
    thread_start(ticker);
}
