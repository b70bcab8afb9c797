#include "client_names.h"

#include "diag/status.h"
#include "diag/trace.h"
#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace {

// Addresses change rarely; a name server that does not answer must not be asked at every
// request either.
constexpr auto refresh_interval = std::chrono::minutes(5);

struct known_name {
    host_lookup found; // as last resolved; kept when a later resolution fails
    bool resolved = false;
    bool reported = false; // its failure to resolve has been said
};

// Shared with the resolver's thread, which runs detached for the rest of the process: never
// destroyed.
struct resolver_state {
    std::mutex mutex;
    std::condition_variable wake;
    std::map<std::string, known_name> names;
    std::set<std::string> due; // to be resolved at the resolver's next turn
    bool running = false;
};

resolver_state& resolver() {
    static resolver_state* const shared = new resolver_state;
    return *shared;
}

// Takes the next name that is due, waiting for one; every name falls due again at each refresh.
std::string next_due(resolver_state& r, std::unique_lock<std::mutex>& lock) {
    while (r.due.empty()) {
        if (r.names.empty()) {
            r.wake.wait(lock);
        } else if (!r.wake.wait_for(lock, refresh_interval, [&r] { return !r.due.empty(); })) {
            for (const auto& [name, known] : r.names)
                r.due.insert(name);
        }
    }
    std::string name = *r.due.begin();
    r.due.erase(r.due.begin());
    return name;
}

void resolver_thread() {
    resolver_state& r = resolver();
    std::unique_lock<std::mutex> lock(r.mutex);
    for (;;) {
        std::string name = next_due(r, lock);
        lock.unlock();
        host_lookup found;
        bool resolved = host_resolve(name, &found);
        lock.lock();
        auto known = r.names.find(name);
        if (known == r.names.end()) continue; // no longer the list's
        if (resolved) {
            known->second = {found, true, false};
            lock.unlock();
            trace_line("tftp_netvalC: Resolved host %s.", name.c_str());
            lock.lock();
            continue;
        }
        if (known->second.reported) continue;
        known->second.reported = true;
        lock.unlock();
        trace_line("tftp_netvalC: Failed to resolve host %s.", name.c_str());
        status_text("Client host '" + name +
                    "' could not be resolved; it is not admitted until "
                    "it is.");
        lock.lock();
    }
}

// Queues a name for the resolver, starting its thread the first time. The caller holds the lock.
void queue(resolver_state& r, const std::string& name) {
    r.due.insert(name);
    // Without a thread to spare the name waits, unresolved, for the next try.
    if (!r.running) r.running = thread_start(resolver_thread) == 0;
    r.wake.notify_one();
}

} // namespace

void client_names_resolve(const std::vector<std::string>& names) {
    resolver_state& r = resolver();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::map<std::string, known_name> kept;
    for (const std::string& name : names) {
        auto known = r.names.find(name);
        kept[name] = known == r.names.end() ? known_name{} : known->second;
        kept[name].reported = false;
        queue(r, name);
    }
    r.names = std::move(kept);
}

bool client_name_matches(const std::string& name, const net_endpoint& client,
                         std::string* official) {
    resolver_state& r = resolver();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto known = r.names.find(name);
    if (known == r.names.end()) {
        r.names[name];
        queue(r, name);
        return false;
    }
    for (const net_endpoint& address : known->second.found.addresses)
        if (same_address(address, client)) {
            *official = known->second.found.official_name;
            return true;
        }
    return false;
}
