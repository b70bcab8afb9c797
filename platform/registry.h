// The per-user settings store, with the five calls of a registry: a key named like
// "SOFTWARE\Vendor\Product" holds string values. Kept as an INI file per product under
// $XDG_CONFIG_HOME (default ~/.config), in a folder named after the vendor, or in one file that
// the program was told to use instead.
#pragma once

#include <string>
#include <vector>

struct registry_key;

// From now on every key is kept in the INI file at path, not in the per-user store (again in the
// per-user store when path is empty).
void registry_use_file(const std::string& path);
// Takes "--config FILE" (or "--config=FILE") out of the arguments and keeps the settings in FILE
// from then on; false, with the reason in *error, when FILE is not named, or names no file and
// the arguments do not hold --save (which counts only where save_creates).
bool registry_config_option(int* argc, char** argv, std::string* error, bool save_creates);

// An existing key, or nullptr when there is none.
registry_key* registry_open_key(const std::string& path);
// The key, created when it is missing.
registry_key* registry_create_key(const std::string& path);
// The value's text, cut to room - 1 characters; false when the key has no such value.
bool registry_query_string(registry_key* key, const std::string& name, std::string* text,
                           size_t room);
void registry_set_string(registry_key* key, const std::string& name, const std::string& text);
// The names of the values the key holds.
std::vector<std::string> registry_value_names(registry_key* key);
// Where the key is kept, as a user would look for it: the file, or the registry's path.
std::string registry_location(const std::string& path);
// Where a stored value, or a line that holds none, was read: the file (none in the Windows
// registry) and its line from 1 (0 where the store has no lines), and the line's own text.
struct registry_value_place {
    std::string file;
    int line = 0;
    std::string text;
};
registry_value_place registry_value_line(registry_key* key, const std::string& name);
// The lines of the key's file that are neither a value, a section, a comment nor blank; one of
// line 0 when the file could not be read, its text the reason.
std::vector<registry_value_place> registry_unreadable_lines(registry_key* key);
// Writes the key out and lets go of it; false when something written did not reach the store.
bool registry_close_key(registry_key* key);
