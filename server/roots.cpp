#include "roots.h"

#include "diag/status.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "settings.h"

#include <mutex>

namespace {

struct opened_root {
    std::string path;
    std::shared_ptr<const confined_folder> folder;
};

std::mutex roots_mutex;
opened_root roots[2]; // downloads, uploads

} // namespace

void roots_release() {
    std::lock_guard<std::mutex> lock(roots_mutex);
    for (opened_root& root : roots)
        root = {};
}

namespace {

// A root of a direction allowed is checked as it will be used; "" when it can be.
std::string root_refusal(const std::string& path, const char* direction, const char* missing) {
    if (path.empty()) return missing;
    if (!path_exists(path)) return std::string(direction) + " root '" + path + "' does not exist.";
    if (!path_is_folder(path))
        return std::string(direction) + " root '" + path + "' is not a folder.";
    return "";
}

} // namespace

bool direction_allowed(int kind, const server_settings& s) {
    return (kind == 1 ? s.AllowDownload : s.AllowUpload) == 1;
}

const std::string* direction_root(int kind, const server_settings& s) {
    if ((kind == 1 ? s.RestrictDownload : s.RestrictUpload) != 1) return nullptr;
    return kind == 1 ? &s.RestrictDownloadPath : &s.RestrictUploadPath;
}

std::string roots_refusal(const server_settings& s) {
    // Only the roots of the directions allowed are used, and so checked.
    const std::string* upload = direction_allowed(2, s) ? direction_root(2, s) : nullptr;
    const std::string* download = direction_allowed(1, s) ? direction_root(1, s) : nullptr;
    std::string refusal;
    if (upload) refusal = root_refusal(*upload, "Upload", "Please provide an upload root path.");
    if (refusal.empty() && download)
        refusal = root_refusal(*download, "Download", "Please provide an download root path.");
    return refusal;
}

void roots_prepare(const server_settings& s) {
    const std::string own = served_folder_default(), here = current_folder();
    for (const int kind : {1, 2}) {
        const std::string* root = direction_allowed(kind, s) ? direction_root(kind, s) : nullptr;
        if (!root) continue;
        if (*root == own && own != here && !path_is_folder(own) && folder_create(own))
            status_text("Made " + own + " to serve files from: " + here +
                        ", where the program started, is not a folder to serve whole.");
        if (*root == home_folder())
            status_text("Warning: the server serves your home folder " + *root +
                        " (hidden files stay refused).");
    }
}

std::string roots_access_refusal(const server_settings& s, const std::string& user) {
    for (const int kind : {1, 2}) {
        const std::string* root = direction_allowed(kind, s) ? direction_root(kind, s) : nullptr;
        if (root && !folder_usable(*root, kind == 2))
            return "user " + user + " cannot " + (kind == 2 ? "write to " : "read ") + *root +
                   ": serve another folder, give it access, or use --user";
    }
    return "";
}

const char* roots_unconfined(const server_settings& s) {
    const bool uploads = !direction_root(2, s), downloads = !direction_root(1, s);
    return uploads && downloads ? "Uploads and downloads"
           : uploads            ? "Uploads"
           : downloads          ? "Downloads"
                                : nullptr;
}

void roots_leftovers_remove(const server_settings& settings) {
    const std::string* upload_root = direction_root(2, settings);
    if (!upload_root || !direction_allowed(2, settings)) return;
    const std::string& root = *upload_root;
    if (int removed = staged_leftovers_remove(root); removed > 0)
        status_text("Removed " + std::to_string(removed) +
                    (removed == 1 ? " unfinished upload" : " unfinished uploads") +
                    " that an earlier run left in " + root + ".");
}

file_place root_place(int kind, const std::string& beneath, const std::string& whole,
                      const server_settings& settings) {
    const bool download = kind == 1;
    const std::string* root_path = direction_root(kind, settings);
    if (!root_path) return file_place(whole);
    const std::string& path = *root_path;
    std::lock_guard<std::mutex> lock(roots_mutex);
    opened_root& root = roots[download ? 0 : 1];
    // A root replaced on the disk (moved away, a new folder made in its place) is the new one.
    if (!root.folder || root.path != path || !root.folder->still_at(path)) {
        auto folder = std::make_shared<confined_folder>(path);
        root = {path, folder->usable() ? folder : nullptr};
    }
    // A root that cannot be opened confines all the same: nothing beneath it can be reached.
    if (!root.folder) return file_place(std::make_shared<confined_folder>(""), beneath, whole);
    return file_place(root.folder, beneath, whole);
}
