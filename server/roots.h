// The folders the two directions are confined to, each opened once for as long as its setting
// names it, so that the kernel resolves every requested name beneath them.
#pragma once

#include "platform/files.h"

#include <string>

struct server_settings;

// Where a name the filename policy took lies: beneath the root of the direction (kind 1 download,
// 2 upload) when that is confined, else at the whole path.
file_place root_place(int kind, const std::string& beneath, const std::string& whole,
                      const server_settings& settings);
// Lets go of the roots: a disabled server holds nothing open.
void roots_release();
// Removes from the upload root what uploads left unfinished when an earlier run ended before it
// could (a crash, a kill), saying so once on the status line.
void roots_leftovers_remove(const server_settings& settings);
