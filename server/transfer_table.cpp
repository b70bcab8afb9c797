#include "transfer_table.h"

#include "daemon.h"
#include "diag/report.h"
#include "engine/endpoint.h"
#include "engine/file_layer.h"
#include "engine/fsm.h"
#include "engine/packet.h"
#include "platform/clock.h"
#include "request_records.h"
#include "transfer_board.h"

#include <algorithm>
#include <vector>

std::atomic<int> transfers_running{0};

namespace {

int take_and_dispatch(transfer& t, int) { return fsm_take(t); }

int expired(transfer& t, int) { return fsm_expired(t); }

// A transfer's turn in the line: one datagram.
int send_one(transfer& t, int) { return fsm_send_more(t, 1); }

} // namespace

transfer_table::~transfer_table() {
    // A fatal report leaves without stop_all: each transfer's row is ended all the same.
    while (!transfers_.empty())
        end(transfers_.begin()->first);
}

bool transfer_table::step(transfer& t, int (*what)(transfer&, int), int argument) {
    if (what(t, argument) < 0) return false;
    note_wait(t);
    note_held(t);
    return true;
}

void transfer_table::note_wait(const transfer& t) {
    uint64_t due = clock_ms() + static_cast<uint64_t>(net_wait_left(t));
    due_ = std::min(due_, due);
}

void transfer_table::note_held(const transfer& t) {
    auto& line = t.budget->line;
    if (t.send_held && std::find(line.begin(), line.end(), t.key) == line.end())
        line.push_back(t.key);
}

int transfer_table::send_held() {
    int soonest = -1;
    for (auto& [interface, path] : paths_) {
        auto& line = path->line;
        while (!line.empty()) {
            if (path_wait_us(*path, clock_us()) > 0) {
                const int wait = path_wait_ms(*path, clock_us());
                soonest = soonest < 0 ? wait : std::min(soonest, wait);
                break;
            }
            const int fd = line.front();
            line.pop_front();
            transfer& t = *transfers_.at(fd);
            if (t.send_held && !step(t, send_one, 0)) end(fd);
        }
    }
    return soonest;
}

int transfer_table::until_due() const {
    uint64_t now = clock_ms();
    return due_ > now ? static_cast<int>(std::min<uint64_t>(due_ - now, INT32_MAX)) : 0;
}

void transfer_table::end(int fd) {
    auto found = transfers_.find(fd);
    if (found != transfers_.end()) {
        // Said once the file is as it stays: an upload cut short has left nothing beside it.
        file_close_unchecked(*found->second);
        board_end(*found->second);
        record_transfer(*found->second);
        auto& line = found->second->budget->line;
        line.erase(std::remove(line.begin(), line.end(), fd), line.end());
        if (found->second->socket_shared) shared_peers_.erase(endpoint_text(found->second->peer));
    }
    if (fd >= 0) waits_.remove(fd);
    transfers_.erase(fd);
    transfers_running = static_cast<int>(transfers_.size());
}

transfer& transfer_table::open(int interface_index) {
    auto t = std::make_unique<transfer>();
    transfer& opened = *t;
    auto& path = paths_[interface_index];
    if (!path) path = std::make_shared<path_budget>();
    opened.budget = path;
    // Keyed by its socket once it has one; until then by a key no socket has.
    transfers_[-1] = std::move(t);
    transfers_running = static_cast<int>(transfers_.size());
    return opened;
}

void transfer_table::begin(transfer& t, int length) {
    auto pending = transfers_.extract(-1);
    // On the listening socket, the peer's address and port tell its datagrams apart.
    t.key = t.socket_shared ? next_shared_key_-- : t.socket;
    if (t.socket_shared) shared_peers_[endpoint_text(t.peer)] = t.key;
    transfers_.insert({t.key, std::move(pending.mapped())});
    const bool going = fsm_begin(t, OP_NONE) == 0 && step(t, fsm_dispatch, length);
    board_begin(t);
    if (!going) return end(t.key);
    // A system out of room for one more wait turns this transfer away, not every other one.
    if (!t.socket_shared && !waits_.add(t.socket)) {
        tell_peer(t, 0, "The server cannot take another transfer now.");
        t.outcome = {transfer_outcome::kind::failed, "tftp_serverequest: failed to create socket."};
        end(t.key);
    }
}

void transfer_table::receive(int fd) {
    auto found = transfers_.find(fd);
    if (found == transfers_.end()) return;
    if (!step(*found->second, take_and_dispatch, 0)) end(fd);
}

bool transfer_table::deliver(const net_endpoint& from, const std::string& datagram) {
    auto known = shared_peers_.find(endpoint_text(from));
    if (known == shared_peers_.end()) return false;
    const int key = known->second;
    transfer& t = *transfers_.at(key);
    const int opcode = datagram.size() >= 2 ? get16(reinterpret_cast<const uint8_t*>(datagram.data())) : 0;
    if (opcode == OP_RRQ || opcode == OP_WRQ) {
        // Its answer was lost: the transfer it asked for runs already.
        if (datagram == t.request) return true;
        // A new request from the same port: the client has given up the transfer before.
        t.outcome = {transfer_outcome::kind::ended, "the client asked for another transfer"};
        end(key);
        return false;
    }
    t.inbox.push_back(datagram);
    if (!step(t, take_and_dispatch, 0)) end(key);
    return true;
}

void transfer_table::drain() {
    std::vector<int> ready = waits_.wait(0);
    for (int fd : ready) {
        auto found = transfers_.find(fd);
        if (found == transfers_.end()) continue;
        transfer& t = *found->second;
        bool going = true;
        while (going && wait_readable(fd, -1, 0))
            going = step(t, take_and_dispatch, 0);
        if (!going) end(fd);
    }
}

int transfer_table::expire() {
    if (transfers_.empty()) return -1;
    if (until_due() > 0) return until_due();
    std::vector<int> ended;
    due_ = UINT64_MAX;
    for (auto& [fd, t] : transfers_) {
        if (net_wait_left(*t) > 0)
            note_wait(*t);
        else if (!step(*t, expired, 0))
            ended.push_back(fd);
    }
    for (int fd : ended)
        end(fd);
    return transfers_.empty() ? -1 : until_due();
}

bool transfer_table::running(const net_endpoint& peer, const std::string& request) const {
    for (const auto& [fd, t] : transfers_)
        if (t->peer == peer && t->request == request) return true;
    return false;
}

int transfer_table::of_client(const net_endpoint& client) const {
    int count = 0;
    for (const auto& [fd, t] : transfers_)
        count += same_address(t->peer, client) ? 1 : 0;
    return count;
}

void transfer_table::stop_all() {
    for (auto& [fd, t] : transfers_)
        fsm_stopped(*t);
    while (!transfers_.empty())
        end(transfers_.begin()->first);
}
