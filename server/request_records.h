// The record of every request: one JSON object per line for each transfer (completed, failed or
// refused) and each request turned away (by the access lists, or dropped in a flood), appended
// to the file the settings name, for the operator who must say who got what.
#pragma once

#include "platform/address.h"

#include <cstdint>
#include <string>

struct transfer;

// Appends from now on to the file at path (none: no records); opened by the caller that still may
// (root, before it becomes its user). False, with errno, when it cannot be opened.
bool records_open(const std::string& path);
// The file closed and opened again at its path, so that a rotated log goes on in a new file.
void records_reopen();
// The path records go to now; empty when there are none.
std::string records_path_now();
void record_transfer(const transfer& t);
// Where the program's output is the journal (the service's), the transfer's row said goes there
// as an entry that carries the record's fields (TFTP_CLIENT, TFTP_FILE...); false elsewhere, and
// the row is said as any other line.
bool journal_transfer(const transfer& t, const std::string& said);
// Requests turned away before any transfer: count of them from the client, with why.
void record_turned_away(const net_endpoint& client, const std::string& result, int64_t count);
