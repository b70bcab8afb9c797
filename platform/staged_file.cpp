#include "platform/staged_steps.h"

#include "platform/folders.h"

#include <cerrno>
#include <filesystem>
#include <random>

std::string staged_temp_name(const std::string& name) {
    static thread_local std::mt19937 random{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string text(8, ' ');
    for (char& c : text)
        c = letters[std::uniform_int_distribution<size_t>(0, sizeof letters - 2)(random)];
    return staged_name_prefix + text + "-" + name.substr(0, 100);
}

namespace {

// NAME.(N-1) becomes NAME.N, down to NAME becoming NAME.1 as well: the name keeps its file until
// the new one takes it.
int keep_versions(const staged_file& staged, int versions) {
    const auto version = [&staged](int n) {
        std::string name = staged.name;
        name += '.';
        name += std::to_string(n);
        return name;
    };
    for (int n = versions - 1; n >= 0; --n) {
        int error = staged_rename_beside(staged, n == 0 ? staged.name : version(n), version(n + 1),
                                         n == 0);
        if (error != 0 && error != ENOENT) return error;
    }
    return 0;
}

} // namespace

int staged_commit(FILE* stream, const staged_file& staged, bool keep_existing, int versions) {
    int error = 0;
    if (std::fflush(stream) != 0 || (staged.folder && !staged_sync(stream))) error = errno;
    if (std::fclose(stream) != 0 && error == 0) error = errno;
    if (!staged.folder) return error;
    if (error == 0 && !keep_existing && versions > 0) error = keep_versions(staged, versions);
    if (error == 0) error = staged_rename(staged, keep_existing);
    if (error != 0) staged_remove(staged);
    return error;
}

int staged_leftovers_remove(const std::string& folder) {
    namespace fs = std::filesystem;
    constexpr int entries_looked_at = 100000;
    // UTF-8 both ways, whatever the system's own narrow text is.
    const std::string native = native_path(folder);
    const auto utf8 = [](const std::u8string& text) { return std::string(text.begin(), text.end()); };
    std::error_code error;
    fs::recursive_directory_iterator entry(fs::path(std::u8string(native.begin(), native.end())),
                                           fs::directory_options::skip_permission_denied, error);
    int removed = 0, looked = 0;
    for (; !error && entry != fs::recursive_directory_iterator() && looked < entries_looked_at;
         entry.increment(error), ++looked) {
        const std::string name = utf8(entry->path().filename().u8string());
        if (name.rfind(staged_name_prefix, 0) == 0 && entry->is_regular_file(error) &&
            staged_remove_if_idle(utf8(entry->path().u8string())))
            ++removed;
    }
    return removed;
}

void staged_discard(FILE* stream, const staged_file& staged) {
    std::fclose(stream);
    if (staged.folder) staged_remove(staged);
}
