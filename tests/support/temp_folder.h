// A fresh folder of the test's own under the system's temporary folder, removed with all its
// contents when the test is done.
#pragma once

#include <string>
#include <vector>

class temp_folder_owner {
  public:
    temp_folder_owner();
    ~temp_folder_owner();
    temp_folder_owner(const temp_folder_owner&) = delete;
    temp_folder_owner& operator=(const temp_folder_owner&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string read_file(const std::string& path);
// A text file's content with the system's line ends read as '\n'.
std::string read_text_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
// The names in a folder, in order: a file left behind shows.
std::vector<std::string> names_in(const std::string& folder);
// Sets or removes a variable of the test's own environment, which the programs it starts inherit.
void set_environment(const std::string& name, const std::string& value);
void unset_environment(const std::string& name);
// Bytes 0..size-1 of a fixed pseudo-random sequence, so that a misplaced block shows.
std::string pattern_bytes(size_t size, unsigned seed = 1);
