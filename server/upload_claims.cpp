#include "upload_claims.h"

#include "platform/files.h"

#include <mutex>
#include <set>

namespace {

// Claims outlive the daemon that took them only while its transfers close: never destroyed.
struct claims {
    std::mutex mutex;
    std::set<std::string> held;
};

claims& all_claims() {
    static claims* const shared = new claims;
    return *shared;
}

} // namespace

std::shared_ptr<const void> upload_claim(const file_place& place) {
    std::string identity = file_identity(place);
    claims& c = all_claims();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (!c.held.insert(identity).second) return nullptr;
    return std::shared_ptr<const void>(new std::string(identity), [](const void* claim) {
        auto* name = static_cast<const std::string*>(claim);
        claims& c = all_claims();
        {
            std::lock_guard<std::mutex> lock(c.mutex);
            c.held.erase(*name);
        }
        delete name;
    });
}
