#include "run_as.h"

#include "diag/status.h"
#include "platform/privileges.h"
#include "platform/shared_text.h"
#include "roots.h"
#include "settings.h"

namespace {
shared_text pending;
} // namespace

std::string run_as_user(const server_settings& settings) {
    std::string user = settings.User;
    if (!user.empty()) return user;
    return user_exists("pellsd") ? "pellsd" : "nobody";
}

void run_as_after_binding(const std::string& user) { pending.set(user); }

bool run_as_now(std::string* error) {
    const std::string user = pending.get();
    if (user.empty() || !running_as_root()) return true;
    if (!privileges_drop(user, error)) return false;
    pending.set("");
    // Root could open anything; the user may not, and every request would say "not found".
    *error = roots_access_refusal(*settings_now(), user);
    if (!error->empty()) return false;
    status_text("Serving as user " + user + ".");
    return true;
}
