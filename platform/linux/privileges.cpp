#include "platform/privileges.h"

#include "platform/files.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool find_user(const std::string& name, passwd* entry, std::vector<char>* scratch) {
    passwd* found = nullptr;
    scratch->resize(16384);
    return getpwnam_r(name.c_str(), entry, scratch->data(), scratch->size(), &found) == 0 && found;
}

} // namespace

const bool users_own_files = true;

bool running_as_root() { return geteuid() == 0; }

bool user_exists(const std::string& name) {
    passwd entry{};
    std::vector<char> scratch;
    return find_user(name, &entry, &scratch);
}

bool privileges_prepare_drop(std::string* error) {
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        *error = error_text(errno);
        return false;
    }
    // Every capability the kernel knows, up to the first it does not.
    for (int capability = 0; prctl(PR_CAPBSET_READ, capability, 0, 0, 0) >= 0; ++capability)
        if (prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) {
            *error = error_text(errno);
            return false;
        }
    return true;
}

bool privileges_drop(const std::string& user, std::string* error) {
    passwd entry{};
    std::vector<char> scratch;
    if (!find_user(user, &entry, &scratch)) {
        *error = "there is no user '" + user + "'";
        return false;
    }
    // Groups first, while the process may still change them; the user last. glibc applies each
    // change to every thread of the process.
    if (initgroups(user.c_str(), entry.pw_gid) != 0 || setgid(entry.pw_gid) != 0 ||
        setuid(entry.pw_uid) != 0 || prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        *error = error_text(errno);
        return false;
    }
    // Leaving uid 0 clears every capability; one that could be taken back would be a failure.
    if (entry.pw_uid != 0 && setuid(0) == 0) {
        *error = "root could be taken back";
        return false;
    }
    return true;
}

int file_mask_set(int mask) { return static_cast<int>(umask(static_cast<mode_t>(mask))); }
