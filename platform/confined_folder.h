// A folder that names are resolved beneath as the kernel enforces it: no "..", absolute name or
// symbolic link leads out of it (a link that stays inside works), however the name is spelt and
// whatever is swapped on the disk while it is resolved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class confined_folder {
  public:
    // Opens the folder at path; usable() says whether it could be.
    explicit confined_folder(const std::string& path);
    ~confined_folder();
    confined_folder(const confined_folder&) = delete;
    confined_folder& operator=(const confined_folder&) = delete;

    bool usable() const { return native_ >= 0; }
    // Whether path still names this folder: it was not moved away, or replaced by another.
    bool still_at(const std::string& path) const;
    // The folder name leads to beneath this one; nullptr, with the system's error number in
    // *error (EXDEV for a name that would lead out), when there is none.
    std::shared_ptr<confined_folder> folder(const std::string& name, int* error) const;
    // Opens name beneath this folder with the system's open flags; -1, with errno set (EXDEV
    // for a name that would lead out), when it cannot.
    int open(const std::string& name, int flags) const;
    // As open(), walking the name a component at a time: what open() does where the kernel cannot
    // resolve beneath a folder itself (before Linux 5.6), with the same answers.
    int open_by_walk(const std::string& name, int flags) const;
    intptr_t native() const { return native_; }
    // The folder's path, as it was named or, beneath another, as the system resolved it.
    const std::string& path() const { return path_; }

  private:
    confined_folder(intptr_t native, std::string path) : native_(native), path_(std::move(path)) {}
    intptr_t native_;
    std::string path_;
};
