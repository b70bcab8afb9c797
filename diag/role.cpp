#include "role.h"

#include <atomic>

namespace {
std::atomic<const role_profile*> installed{nullptr};
}

void role_install(const role_profile* profile) { installed = profile; }

const role_profile& role() { return *installed.load(); }
