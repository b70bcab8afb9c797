#include "roots.h"

#include "diag/status.h"
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

void roots_leftovers_remove(const server_settings& settings) {
    if (settings.RestrictUpload != 1 || settings.AllowUpload != 1) return;
    const std::string& root = settings.RestrictUploadPath;
    if (int removed = staged_leftovers_remove(root); removed > 0)
        status_text("Removed " + std::to_string(removed) +
                    (removed == 1 ? " unfinished upload" : " unfinished uploads") +
                    " that an earlier run left in " + root + ".");
}

file_place root_place(int kind, const std::string& beneath, const std::string& whole,
                      const server_settings& settings) {
    const bool download = kind == 1;
    if ((download ? settings.RestrictDownload : settings.RestrictUpload) != 1)
        return file_place(whole);
    const std::string& path = download ? settings.RestrictDownloadPath : settings.RestrictUploadPath;
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
