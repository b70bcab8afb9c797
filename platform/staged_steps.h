// The steps of a staged file that each system takes with calls of its own (in its files.cpp);
// their order, and the temporary name, are the same on every system (staged_file.cpp).
#pragma once

#include "files.h"

// A temporary name for a file beside name, which no other writer is likely to pick.
std::string staged_temp_name(const std::string& name);
// Writes what the stream's descriptor holds out to the disk; false, with errno, when it cannot.
bool staged_sync(FILE* stream);
// Gives the temporary file its name: see staged_commit. 0, or the system's error number.
int staged_rename(const staged_file& staged, bool keep_existing);
// Gives the file from, beside the staged one, the name to as well (keep) or instead, replacing a
// file there. 0, ENOENT when there is no file from, or the system's error number.
int staged_rename_beside(const staged_file& staged, const std::string& from, const std::string& to,
                         bool keep);
// Removes the temporary file.
void staged_remove(const staged_file& staged);
// Removes the temporary file at path unless a writer holds it open; whether it did.
bool staged_remove_if_idle(const std::string& path);
