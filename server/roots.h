// The two directions, downloads and uploads: whether each is allowed, and the folder each is
// confined to, opened once for as long as its setting names it, so that the kernel resolves
// every requested name beneath it.
#pragma once

#include "platform/files.h"

#include <string>

struct server_settings;

// Whether the settings let clients take that direction (kind 1 download, 2 upload).
bool direction_allowed(int kind, const server_settings& settings);
// The folder the direction is confined to, or nullptr when it is not confined.
const std::string* direction_root(int kind, const server_settings& settings);
// Where a name the filename policy took lies: beneath the root of the direction (kind 1 download,
// 2 upload) when that is confined, else at the whole path.
file_place root_place(int kind, const std::string& beneath, const std::string& whole,
                      const server_settings& settings);
// Lets go of the roots: a disabled server holds nothing open.
void roots_release();
// Before the server starts: makes the folder of the user's own that the factory settings serve
// where the program started from a folder nobody serves whole (saying so), and warns of a root
// that is the user's home.
void roots_prepare(const server_settings& settings);
// Why a root of a direction allowed cannot be used (missing, or no folder), or "" when both can.
std::string roots_refusal(const server_settings& settings);
// Why user, whom the server now runs as, cannot use a root of a direction allowed (read the
// download root, write to the upload root), or "" when it can.
std::string roots_access_refusal(const server_settings& settings, const std::string& user);
// Names the directions that are not confined to a folder ("Uploads and downloads"), or nullptr.
const char* roots_unconfined(const server_settings& settings);
// Removes from the upload root what uploads left unfinished when an earlier run ended before it
// could (a crash, a kill), saying so once on the status line.
void roots_leftovers_remove(const server_settings& settings);
