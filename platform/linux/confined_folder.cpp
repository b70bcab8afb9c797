#include "platform/confined_folder.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

std::deque<std::string> components(const std::string& name) {
    std::deque<std::string> parts;
    size_t at = 0;
    while (at <= name.size()) {
        size_t slash = name.find('/', at);
        if (slash == std::string::npos) slash = name.size();
        if (slash > at) parts.push_back(name.substr(at, slash - at));
        at = slash + 1;
    }
    return parts;
}

int refuse(int error) {
    errno = error;
    return -1;
}

// Where the kernel has no openat2 (before Linux 5.6): each component is opened on its own without
// following it, and a link is followed by hand only where its target stays beneath the folder.
int walk_beneath(int root, const std::string& name, int flags) {
    if (!name.empty() && name[0] == '/') return refuse(EXDEV);
    std::vector<int> walked; // the folders walked into, owned
    struct closer {
        std::vector<int>& fds;
        ~closer() {
            for (int fd : fds)
                close(fd);
        }
    } closing{walked};
    auto here = [&] { return walked.empty() ? root : walked.back(); };
    std::deque<std::string> rest = components(name);
    int links = 0;
    while (!rest.empty()) {
        std::string part = rest.front();
        rest.pop_front();
        if (part == ".") continue;
        if (part == "..") {
            if (walked.empty()) return refuse(EXDEV);
            close(walked.back());
            walked.pop_back();
            continue;
        }
        int fd = openat(here(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return -1;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISLNK(info.st_mode)) {
            char target[PATH_MAX];
            ssize_t length = readlinkat(fd, "", target, sizeof target - 1);
            close(fd);
            if (length < 0) return -1;
            target[length] = '\0';
            if (target[0] == '/') return refuse(EXDEV);
            if (++links > 40) return refuse(ELOOP);
            std::deque<std::string> more = components(target);
            rest.insert(rest.begin(), more.begin(), more.end());
            continue;
        }
        if (rest.empty()) {
            close(fd);
            return openat(here(), part.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
        }
        walked.push_back(fd);
    }
    return openat(here(), ".", flags | O_CLOEXEC);
}

} // namespace

confined_folder::confined_folder(const std::string& path)
    : native_(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)), path_(path) {}

confined_folder::~confined_folder() {
    if (native_ >= 0) close(static_cast<int>(native_));
}

bool confined_folder::still_at(const std::string& path) const {
    struct stat held {}, named{};
    return usable() && fstat(static_cast<int>(native_), &held) == 0 &&
           stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

int confined_folder::open(const std::string& name, int flags) const {
    const std::string where = name.empty() ? "." : name;
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    long fd = syscall(SYS_openat2, static_cast<int>(native_), where.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
    return open_by_walk(where, flags);
}

int confined_folder::open_by_walk(const std::string& name, int flags) const {
    return walk_beneath(static_cast<int>(native_), name.empty() ? "." : name, flags);
}

std::shared_ptr<confined_folder> confined_folder::folder(const std::string& name,
                                                         int* error) const {
    int fd = open(name, O_PATH | O_DIRECTORY);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    return std::shared_ptr<confined_folder>(
        new confined_folder(static_cast<intptr_t>(fd), path_ + "/" + name));
}
