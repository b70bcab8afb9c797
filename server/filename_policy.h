// Which requested names may be used, and the path each one stands for. The policy works on the
// name with backslash separators, drive paths ("C:\") and network paths ("\\host"); the path it
// yields becomes a path of this system only where the file is checked and opened.
#pragma once

#include <string>

struct server_settings;

// The longest requested name: it must fit a field of 128 bytes with its terminator.
constexpr size_t request_field_limit = 127;

// 0 when name may be used (it then holds the path to use), -1 when it is refused.
// kind is 1 for a download (read request), 2 for an upload (write request). Where the direction
// is confined, *beneath (when given) is the name below its root, in this system's separators.
// The settings say which directions are confined, and where.
int tftp_checkfilename(std::string& name, int kind, const server_settings& settings,
                       std::string* beneath = nullptr);
// The policy's path as a path of this system.
std::string local_path(const std::string& policy_path);
