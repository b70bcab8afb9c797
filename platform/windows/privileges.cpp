#include "platform/privileges.h"

#include <io.h>

// Windows lets any user bind port 69, and a server never changes users there: an elevated
// console has no root's privileges to give up.
const bool users_own_files = false;

bool running_as_root() { return false; }

bool user_exists(const std::string&) { return false; }

bool privileges_prepare_drop(std::string*) { return true; }

bool privileges_drop(const std::string&, std::string* error) {
    *error = "Windows programs do not change users";
    return false;
}

int file_mask_set(int mask) { return _umask(mask); }
