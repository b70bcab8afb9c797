#include "filename_policy.h"

#include "diag/trace.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "roots.h"
#include "settings.h"

#include <algorithm>
#include <cctype>

namespace {

bool starts_badly(unsigned char first) {
    bool white = first == ' ' || (first >= '\t' && first <= '\r');
    bool control = first < 32 || first == 127;
    return white || control;
}

bool same_letters(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// The root in the policy's own separators.
std::string policy_form(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// An absolute name lies under the root only when the root is followed by a separator in it:
// otherwise the root C:\tftp would also open C:\tftpx.
bool under_root(const std::string& name, const std::string& root) {
    if (root.empty() || name.size() < root.size()) return false;
    if (!std::equal(root.begin(), root.end(), name.begin(), same_letters)) return false;
    return root.back() == '\\' || (name.size() > root.size() && name[root.size()] == '\\');
}

// Whether a part of the name (a folder's or the file's) begins with prefix.
bool has_part_beginning(const std::string& name, const std::string& prefix) {
    for (size_t at = 0;;) {
        if (name.compare(at, prefix.size(), prefix) == 0) return true;
        size_t separator = name.find_first_of("\\/", at);
        if (separator == std::string::npos) return false;
        at = separator + 1;
    }
}

// A hidden file's or folder's name: a part that begins with "." (the folder "." itself aside).
bool names_hidden(const std::string& name) {
    for (size_t at = 0;;) {
        size_t separator = name.find_first_of("\\/", at);
        const size_t end = separator == std::string::npos ? name.size() : separator;
        if (end - at > 1 && name[at] == '.') return true;
        if (separator == std::string::npos) return false;
        at = separator + 1;
    }
}

// Names that Windows reads as something else than the file they seem to name: a device (CON,
// NUL, COM1, with or without an extension), a stream of a file (a colon), a name that loses its
// trailing dots and blanks, a short 8.3 name (PROGRA~1). Refused on every system, so that a
// server behaves alike on both and a folder shared with Windows holds no trap.
bool windows_alias(const std::string& name) {
    static const char* const devices[] = {"con", "prn", "aux", "nul"};
    const bool drive = name.size() >= 3 && name[1] == ':' && name[2] == '\\';
    if (name.find(':', drive ? 2 : 0) != std::string::npos) return true;
    for (size_t at = 0; at <= name.size();) {
        size_t end = name.find_first_of("\\/", at);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == "." || part == "..") continue; // the folders' own names
        if (part.back() == '.' || part.back() == ' ') return true;
        std::string stem = part.substr(0, part.find('.'));
        std::transform(stem.begin(), stem.end(), stem.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        for (const char* device : devices)
            if (stem == device) return true;
        if (stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) &&
            stem[3] >= '1' && stem[3] <= '9')
            return true;
        size_t tilde = part.find('~');
        if (tilde != std::string::npos && tilde + 1 < part.size() &&
            std::isdigit(static_cast<unsigned char>(part[tilde + 1])))
            return true;
    }
    return false;
}

int denied(const std::string& name) {
    trace_line("tftp_checkfilename: Denied access for %s.", name.c_str());
    return -1;
}

} // namespace

int tftp_checkfilename(std::string& name, int kind, const server_settings& settings,
                       std::string* beneath) {
    if (name.empty() || starts_badly(static_cast<unsigned char>(name[0]))) {
        trace_line("tftp_checkfilename: Filename started with whitespace.");
        return -1;
    }
    if (name.size() > request_field_limit || name.find("..") != std::string::npos ||
        has_part_beginning(name, staged_name_prefix) || windows_alias(name))
        return denied(name); // an upload in progress is nobody's to read or write
    // A folder served by mistake (a home) must not hand out .ssh or .config unless asked to.
    const bool hidden_refused = settings.HiddenFiles != 1;
    std::replace(name.begin(), name.end(), '/', '\\');

    bool network = name.size() >= 2 && name[0] == '\\' && name[1] == '\\';
    bool drive = name.size() >= 3 && name[1] == ':' && name[2] == '\\';
    if (name.size() >= 2 && name[1] == ':' && !drive) return denied(name); // C:file, C:
    bool absolute = network || drive;

    if (const std::string* confined = direction_root(kind, settings)) {
        const std::string& root = *confined;
        std::string below = name;
        if (absolute) {
            if (!under_root(name, policy_form(root))) return denied(name);
            below = name.substr(root.size());
        }
        if (hidden_refused && names_hidden(below)) return denied(name);
        if (beneath)
            *beneath = local_path(below.substr(below.find_first_not_of('\\') == std::string::npos
                                                   ? below.size()
                                                   : below.find_first_not_of('\\')));
        if (!absolute) name = root + "\\" + name;
        return 0;
    }
    if (hidden_refused && names_hidden(name)) return denied(name);
    if (!absolute) name = current_folder() + "\\" + name;
    return 0;
}

std::string local_path(const std::string& policy_path) {
    std::string path = policy_path;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
