#include "platform/files.h"
#include "platform/staged_steps.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

std::string error_text(int error) {
    if (error == error_planted_link)
        return "it is a link that another user made in a folder anyone may write to";
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

bool file_replace_private(const std::string& path, const std::string& content) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool written = fchmod(fd, 0600) == 0 && write(fd, content.data(), content.size()) ==
                                                static_cast<ssize_t>(content.size());
    return close(fd) == 0 && written;
}

void file_remove(const std::string& path) { unlink(path.c_str()); }

FILE* log_open(const std::string& path) { return std::fopen(path.c_str(), "ae"); }

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) == 1; }

namespace {

FILE* stream_of(int fd, const char* mode) {
    FILE* stream = fd < 0 ? nullptr : fdopen(fd, mode);
    if (!stream && fd >= 0) close(fd);
    return stream;
}

} // namespace

FILE* standard_stream(bool writing, bool) {
    return writing ? stream_of(fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0), "w")
                   : stream_of(fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0), "r");
}

namespace {

// Gives the file temp in folder the name name, replacing a file there unless keep_existing; 0 or
// the error number.
int rename_into_place(int folder, const std::string& temp, const std::string& name,
                      bool keep_existing) {
    if (!keep_existing)
        return renameat(folder, temp.c_str(), folder, name.c_str()) == 0 ? 0 : errno;
    if (renameat2(folder, temp.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0) return 0;
    // A file system without the flag: a hard link is refused as well when the name is taken.
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (linkat(folder, temp.c_str(), folder, name.c_str(), 0) != 0) return errno;
    unlinkat(folder, temp.c_str(), 0);
    return 0;
}

int native(const confined_folder& folder) { return static_cast<int>(folder.native()); }

// Opens the place with the system's open flags: beneath its root, or at its path.
int open_place(const file_place& place, int flags) {
    if (place.root) return place.root->open(place.beneath, flags);
    return open(place.path.c_str(), flags | O_CLOEXEC);
}

// The folder that holds the place, and the place's name in it; nullptr, with *error, when the
// folder cannot be opened.
std::shared_ptr<const confined_folder> folder_of(const file_place& place, std::string* name,
                                                 int* error) {
    const std::string& whole = place.root ? place.beneath : place.path;
    size_t slash = whole.rfind('/');
    std::string folder = slash == std::string::npos ? "" : whole.substr(0, slash + 1);
    *name = whole.substr(folder.size());
    if (place.root) return place.root->folder(folder, error);
    auto opened = std::make_shared<confined_folder>(folder.empty() ? "." : folder);
    *error = errno;
    return opened->usable() ? opened : nullptr;
}

// Whether following the link at path, or a link it leads to, would let another user choose the
// file written: a link in a sticky folder that anyone may write to, owned neither by this user
// nor by the folder's owner.
bool planted_link(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {}, folder{};
        if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return false;
        size_t slash = path.rfind('/');
        std::string parent = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        if (stat(parent.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
            (folder.st_mode & S_IWOTH) && link.st_uid != geteuid() && link.st_uid != folder.st_uid)
            return true;
        std::vector<char> target(PATH_MAX);
        ssize_t length = readlink(path.c_str(), target.data(), target.size() - 1);
        if (length <= 0) return false;
        std::string next(target.data(), static_cast<size_t>(length));
        path = next[0] == '/' ? next : parent + next;
    }
    return false;
}

struct descriptor {
    int fd;
    ~descriptor() {
        if (fd >= 0) close(fd);
    }
};

} // namespace

FILE* stream_open(const file_place& place, bool regular_only, bool /*text: LF already*/) {
    if (!regular_only) return stream_of(open_place(place, O_RDONLY), "r");
    // Without O_NONBLOCK a FIFO would hold the caller until a peer opened its other end.
    int fd = open_place(place, O_RDONLY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    return stream_of(fd, "r");
}

FILE* staged_open(const file_place& place, bool regular_only, bool /*text: LF already*/,
                  int new_mode, staged_file* staged, int* error) {
    *staged = {};
    // A path that is a link is written through, as any program writing to its name would, but for
    // one that another user planted where anyone may write.
    if (!place.root && planted_link(place.path)) {
        *error = error_planted_link;
        return nullptr;
    }
    file_place target = place;
    std::vector<char> resolved(PATH_MAX);
    if (!place.root && realpath(place.path.c_str(), resolved.data())) target.path = resolved.data();
    // What is there now: through a link beneath a root, refused when it leads out.
    descriptor existing{open_place(target, O_PATH)};
    if (existing.fd < 0 && errno != ENOENT) {
        *error = errno;
        return nullptr;
    }
    struct stat info {};
    bool replaces = existing.fd >= 0 && fstat(existing.fd, &info) == 0;
    if (replaces && !S_ISREG(info.st_mode)) {
        *error = regular_only ? EINVAL : 0;
        FILE* stream = regular_only ? nullptr : stream_of(open_place(target, O_WRONLY), "w");
        if (!stream && !*error) *error = errno;
        if (stream) staged->name = target.path;
        return stream;
    }
    // The new file may replace the old only where the old one could be written.
    if (replaces && faccessat(existing.fd, "", W_OK, AT_EMPTY_PATH) != 0) {
        *error = errno;
        return nullptr;
    }
    std::string name;
    std::shared_ptr<const confined_folder> folder = folder_of(target, &name, error);
    if (!folder) return nullptr;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = staged_temp_name(name);
        int fd = openat(native(*folder), temp.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        static_cast<mode_t>(new_mode));
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        // Held while it is written, so that a server starting meanwhile leaves it be.
        flock(fd, LOCK_EX);
        if (replaces) fchmod(fd, info.st_mode & 07777);
        FILE* stream = stream_of(fd, "w");
        if (!stream) {
            *error = errno;
            unlinkat(native(*folder), temp.c_str(), 0);
            return nullptr;
        }
        *staged = {folder, temp, name};
        return stream;
    }
    *error = errno;
    return nullptr;
}

bool staged_sync(FILE* stream) { return fsync(fileno(stream)) == 0; }

int staged_rename(const staged_file& staged, bool keep_existing) {
    return rename_into_place(native(*staged.folder), staged.temp, staged.name, keep_existing);
}

int staged_rename_beside(const staged_file& staged, const std::string& from, const std::string& to,
                         bool keep) {
    const int folder = native(*staged.folder);
    if (!keep) return renameat(folder, from.c_str(), folder, to.c_str()) == 0 ? 0 : errno;
    unlinkat(folder, to.c_str(), 0);
    return linkat(folder, from.c_str(), folder, to.c_str(), 0) == 0 ? 0 : errno;
}

void staged_remove(const staged_file& staged) {
    unlinkat(native(*staged.folder), staged.temp.c_str(), 0);
}

bool staged_remove_if_idle(const std::string& path) {
    descriptor fd{open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    // Its writer holds the lock for as long as it writes.
    return fd.fd >= 0 && flock(fd.fd, LOCK_EX | LOCK_NB) == 0 && unlink(path.c_str()) == 0;
}

std::string file_identity(const file_place& place) {
    std::string name;
    int error = 0;
    std::shared_ptr<const confined_folder> folder = folder_of(place, &name, &error);
    struct stat info {};
    if (!folder || fstat(native(*folder), &info) != 0) return place.path;
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "/" + name;
}

bool error_is_disk_full(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

bool path_leads_out(const file_place& place) {
    if (!place.root) return false;
    descriptor fd{open_place(place, O_PATH)};
    return fd.fd < 0 && errno == EXDEV;
}

long stream_read_raw(FILE* stream, void* buffer, size_t count) {
    return read(fileno(stream), buffer, count);
}

long stream_write_raw(FILE* stream, const void* buffer, size_t count) {
    return write(fileno(stream), buffer, count);
}

bool path_exists(const file_place& place) {
    descriptor fd{open_place(place, O_PATH)};
    return fd.fd >= 0;
}

namespace {

bool same_but_case(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The name in the folder at the place that differs from part only in case, the first in sorted
// order; empty when there is none.
std::string name_in_any_case(const file_place& folder, const std::string& part) {
    DIR* listing = fdopendir(open_place(folder, O_RDONLY | O_DIRECTORY));
    if (!listing) return "";
    std::string found;
    while (const dirent* entry = readdir(listing)) // NOLINT(concurrency-mt-unsafe): its own DIR
        if (same_but_case(entry->d_name, part) && (found.empty() || entry->d_name < found))
            found = entry->d_name;
    closedir(listing);
    return found;
}

} // namespace

std::string file_name_of(const std::string& name) { return name; }

file_place place_ignoring_case(const file_place& place) {
    const std::string& whole = place.root ? place.beneath : place.path;
    std::string matched;
    for (size_t at = 0; at <= whole.size();) {
        size_t slash = whole.find('/', at);
        if (slash == std::string::npos) slash = whole.size();
        const std::string part = whole.substr(at, slash - at);
        at = slash + 1;
        const std::string before = matched;
        matched += part;
        const auto here = [&](const std::string& name) {
            return place.root ? file_place(place.root, name, name) : file_place(name);
        };
        if (part.empty() || path_exists(here(matched))) {
            if (slash < whole.size()) matched += '/';
            continue;
        }
        const std::string other = name_in_any_case(here(before.empty() ? "." : before), part);
        if (other.empty()) return place;
        matched = before + other + (slash < whole.size() ? "/" : "");
    }
    if (!place.root) return file_place(matched);
    const size_t tail = place.path.size() >= whole.size() ? place.path.size() - whole.size() : 0;
    return file_place(place.root, matched, place.path.substr(0, tail) + matched);
}

bool folder_create(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool folder_usable(const std::string& path, bool writing) {
    return access(path.c_str(), (writing ? W_OK : R_OK) | X_OK) == 0;
}

bool path_is_folder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool path_readable(const file_place& place) {
    descriptor fd{open_place(place, O_PATH)};
    return fd.fd >= 0 && faccessat(fd.fd, "", R_OK, AT_EMPTY_PATH) == 0;
}

bool path_read_only(const file_place& place) {
    descriptor fd{open_place(place, O_PATH)};
    struct stat info {};
    if (fd.fd < 0 || fstat(fd.fd, &info) != 0) return false;
    return (info.st_mode & S_IWUSR) == 0 ||
           (faccessat(fd.fd, "", W_OK, AT_EMPTY_PATH) != 0 && errno == EACCES);
}

bool file_readable(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    bool readable = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
    close(fd);
    if (!readable) errno = EISDIR;
    return readable;
}

int64_t file_size(const file_place& place) {
    descriptor fd{open_place(place, O_PATH)};
    struct stat info {};
    return fd.fd >= 0 && fstat(fd.fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool room_for(const file_place& place, int64_t bytes) {
    std::string name;
    int error = 0;
    std::shared_ptr<const confined_folder> folder = folder_of(place, &name, &error);
    struct statvfs info {};
    if (!folder || fstatvfs(native(*folder), &info) != 0) return true;
    return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize) >= bytes;
}
