// Who the process runs as: whether it holds the privileges of root, and giving them up for an
// ordinary user once what needs them is done.
#pragma once

#include <string>

// Whether files have owners and permission bits that a server steers with its user and its mask
// (not on Windows, where the folder's own permissions pass to new files).
extern const bool users_own_files;
// Whether the process runs with the privileges of root.
bool running_as_root();
// Whether the system knows a user of that name.
bool user_exists(const std::string& name);
// Before any thread starts, for a process that will go on as an ordinary user: no program it
// starts may gain privileges, and none is left in the bounding set to gain. Threads take both
// from the thread that starts them. False, with the reason in *error, when the system refuses.
bool privileges_prepare_drop(std::string* error);
// Goes on as the user for good: the user's own and supplementary groups, no capabilities, and no
// program it starts may gain any. False, with the reason in *error, when the system refuses.
bool privileges_drop(const std::string& user, std::string* error);
// The mask that new files' permissions are taken through (022: others and the group may not
// write them); returns the one it replaces.
int file_mask_set(int mask);
