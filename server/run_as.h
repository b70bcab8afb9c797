// A headless server started as root binds its ports, then goes on as an ordinary user: uploads,
// the post-upload command and every fault in reading a request then have no more privileges
// than that user's.
#pragma once

#include <string>

struct server_settings;

// The user a server started as root goes on as: the stored one, or pellsd where that user
// exists, or nobody. "root" keeps root.
std::string run_as_user(const server_settings& settings);
// Set by the headless server started as root: the user its daemon becomes once it has bound its
// sockets; empty for none.
void run_as_after_binding(const std::string& user);
// Called by the daemon once it has bound: it becomes the user asked for, if any. False, with the
// reason in *error, when the system refuses.
bool run_as_now(std::string* error);
