#include "request_intake.h"

#include "diag/status.h"
#include "diag/trace.h"
#include "engine/options.h"
#include "engine/packet.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "request_records.h"

#include <algorithm>

namespace {

// An address's budget: a burst as large as a room of machines behind one address may send when
// they boot together (or a client that fetches many small files, one after another), then a
// steady rate.
constexpr double budget_burst = 1000;
constexpr double budget_per_second = 200;
// Datagrams read in one batch, kept and dropped; what waits beyond them is read at the next.
constexpr int batch_kept = 64;
constexpr int batch_read = 1024;
// Budgets kept for so many addresses; beyond them a new address is no flood of its own.
constexpr size_t budgets_kept = 4096;
constexpr uint64_t report_interval_ms = 60000;

} // namespace

bool request_intake::admit(const net_endpoint& from, uint64_t now) {
    const address_key key{from.family, from.address};
    auto found = budgets_.find(key);
    if (found == budgets_.end()) {
        if (budgets_.size() >= budgets_kept) forget_idle(now);
        if (budgets_.size() >= budgets_kept) return true;
        found = budgets_.emplace(key, budget{budget_burst, now}).first;
    }
    budget& b = found->second;
    b.requests = std::min(budget_burst,
                          b.requests + static_cast<double>(now - b.at_ms) * budget_per_second / 1000);
    b.at_ms = now;
    if (b.requests < 1) {
        ++dropped_[key];
        return false;
    }
    b.requests -= 1;
    return true;
}

void request_intake::forget_idle(uint64_t now) {
    for (auto b = budgets_.begin(); b != budgets_.end();) {
        const double refilled = static_cast<double>(now - b->second.at_ms) * budget_per_second / 1000;
        b = b->second.requests + refilled >= budget_burst ? budgets_.erase(b) : std::next(b);
    }
}

void request_intake::read(int socket, const std::function<bool(const net_endpoint&)>& serving) {
    batch_.clear();
    taken_ = 0;
    const uint64_t now = clock_ms();
    // Large enough for a block of a transfer served from this socket.
    std::vector<uint8_t>& buffer = buffer_;
    buffer.resize(blksize_max + 5);
    for (int i = 0; i < batch_read && static_cast<int>(batch_.size()) < batch_kept; ++i) {
        intake_datagram d;
        int length = sock_recv_arrival(socket, buffer.data(), buffer.size(), &d.from, &d.at);
        if (length < 0) {
            // An earlier answer's network trouble can surface here; it is no fault of this socket,
            // and no other failure of one datagram stops the server.
            if (sock_peer_fault()) continue;
            if (!sock_would_block())
                trace_line("tftp_listen: A recvfrom error occurred while listening: %s.",
                           error_text(sock_last_error()).c_str());
            break;
        }
        // A transfer's own datagrams are no requests: they spend no budget and are kept whole.
        const bool transfer_own = serving(d.from);
        if (!transfer_own && !admit(d.from, now)) continue;
        d.length = length;
        const size_t kept = transfer_own ? buffer.size() : packet_buffer_size + 1;
        d.bytes.assign(reinterpret_cast<const char*>(buffer.data()),
                       std::min(static_cast<size_t>(length), kept));
        batch_.push_back(std::move(d));
    }
    // In turn: the first of each address, then the second of each, and so on.
    std::vector<std::pair<int, size_t>> turns;
    std::map<address_key, int> seen;
    for (size_t i = 0; i < batch_.size(); ++i)
        turns.emplace_back(seen[{batch_[i].from.family, batch_[i].from.address}]++, i);
    std::stable_sort(turns.begin(), turns.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<intake_datagram> ordered;
    ordered.reserve(batch_.size());
    for (const auto& [turn, i] : turns)
        ordered.push_back(std::move(batch_[i]));
    batch_.swap(ordered);
}

bool request_intake::next(intake_datagram* datagram) {
    if (taken_ >= batch_.size()) return false;
    *datagram = std::move(batch_[taken_++]);
    return true;
}

void request_intake::ignored(const net_endpoint& from) {
    if (ignored_since_ms_ != 0) {
        ++ignored_[{from.family, from.address}];
        return;
    }
    ignored_since_ms_ = clock_ms();
    status_text("Ignored a request from " + address_text(from) +
                ", which the access lists do not admit.");
}

int request_intake::report() {
    const uint64_t now = clock_ms();
    int wait = -1;
    if (ignored_since_ms_ != 0) {
        if (now - ignored_since_ms_ >= report_interval_ms) {
            report_ignored();
            ignored_since_ms_ = 0;
        } else {
            wait = static_cast<int>(report_interval_ms - (now - ignored_since_ms_));
        }
    }
    if (dropped_.empty()) return wait;
    if (last_report_ms_ != 0 && now - last_report_ms_ < report_interval_ms) {
        const int dropped_wait = static_cast<int>(report_interval_ms - (now - last_report_ms_));
        return wait < 0 ? dropped_wait : std::min(wait, dropped_wait);
    }
    report_dropped();
    last_report_ms_ = now;
    return wait;
}

void request_intake::report_ignored() {
    if (ignored_.empty()) return;
    int64_t total = 0;
    for (const auto& [key, count] : ignored_)
        total += count;
    std::string line = "Ignored ";
    line += std::to_string(total) + (total == 1 ? " more request from " : " more requests from ") +
            std::to_string(ignored_.size()) +
            (ignored_.size() == 1 ? " address" : " addresses") +
            " that the access lists do not admit.";
    status_text(line);
    ignored_.clear();
}

void request_intake::report_dropped() {
    int64_t total = 0, most = 0;
    address_key busiest;
    for (const auto& [key, count] : dropped_) {
        total += count;
        if (count > most) std::tie(busiest, most) = std::tie(key, count);
        net_endpoint flood;
        flood.family = key.first;
        flood.address = key.second;
        record_turned_away(flood, "dropped: a flood", count);
    }
    net_endpoint who;
    who.family = busiest.first;
    who.address = busiest.second;
    const std::string rate = std::to_string(static_cast<int>(budget_per_second));
    std::string line =
        dropped_.size() == 1
            ? "Dropped " + std::to_string(total) + (total == 1 ? " request" : " requests") +
                  " from " + address_text(who) + ", which sent more than " + rate + " a second."
            : "Dropped " + std::to_string(total) + " requests from " +
                  std::to_string(dropped_.size()) + " addresses that each sent more than " + rate +
                  " a second (" + std::to_string(most) + " from " + address_text(who) + ").";
    trace_line("tftp_listen: %s", line.c_str());
    status_text(line);
    dropped_.clear();
}
