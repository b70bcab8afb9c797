#include "platform/staged_steps.h"

#include <cerrno>
#include <random>

std::string staged_temp_name(const std::string& name) {
    static thread_local std::mt19937 random{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string text(8, ' ');
    for (char& c : text)
        c = letters[std::uniform_int_distribution<size_t>(0, sizeof letters - 2)(random)];
    return staged_name_prefix + text + "-" + name.substr(0, 100);
}

int staged_commit(FILE* stream, const staged_file& staged, bool keep_existing) {
    int error = 0;
    if (std::fflush(stream) != 0 || (staged.folder && !staged_sync(stream))) error = errno;
    if (std::fclose(stream) != 0 && error == 0) error = errno;
    if (!staged.folder) return error;
    if (error == 0) error = staged_rename(staged, keep_existing);
    if (error != 0) staged_remove(staged);
    return error;
}

void staged_discard(FILE* stream, const staged_file& staged) {
    std::fclose(stream);
    if (staged.folder) staged_remove(staged);
}
