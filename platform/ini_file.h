// A settings file in the INI form the programs have always stored (the form of Qt's QSettings):
// "[General]" and "Name=value" lines, values quoted and escaped where they must be. A file that a
// person wrote keeps its comments, its order and its other lines when a value is written.
#pragma once

#include <string>
#include <vector>

class ini_file {
  public:
    // A line that is neither a name and its value, a section, a comment nor blank.
    struct unreadable_line {
        int number;
        std::string text;
    };

    // Reads the text of a file (the lines as they are, LF or CR LF).
    explicit ini_file(const std::string& text = "");
    // The value of name in [General] (or "Section/Name"); false when there is none.
    bool get(const std::string& name, std::string* value) const;
    // The line of the file the value was read from (from 1); 0 when it was not read from one.
    int line_of(const std::string& name) const;
    // Every name with a value, in the file's order: those of [General] as they are, others
    // as "Section/Name".
    std::vector<std::string> names() const;
    const std::vector<unreadable_line>& unreadable() const { return unreadable_; }
    // Replaces the value where the file has it, or adds it at the end of [General].
    void set(const std::string& name, const std::string& value);
    // The file's text, with every value written since it was read.
    std::string text() const;

  private:
    struct line {
        std::string text;    // as the file has it, or as a value written makes it
        std::string section; // the section it belongs to; "General" before any
        std::string name;    // a value's name; empty for any other line
        std::string value;   // the value, its quotes and escapes undone
    };
    const line* find(const std::string& name) const;

    std::vector<line> lines_;
    std::vector<unreadable_line> unreadable_;
};

// The file at path, read; false, with errno, when it exists but cannot be read.
bool ini_file_read(const std::string& path, ini_file* file);
// Writes the file to path whole or not at all (through a file beside it that takes its name),
// keeping the permissions of the file it replaces; the folders above it are made. False, with
// errno, when it cannot.
bool ini_file_write(const std::string& path, const ini_file& file);
