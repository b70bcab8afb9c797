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
// from then on; false, with the reason in *error, when FILE is missing.
bool registry_config_option(int* argc, char** argv, std::string* error);

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
// Writes the key out and lets go of it; false when something written did not reach the store.
bool registry_close_key(registry_key* key);
