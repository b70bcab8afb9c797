// The local file of a transfer: octet blocks pass unchanged with one system call each; netascii
// is converted a character at a time, with one character of state carried between blocks in
// each direction (kept in the transfer). A local line ends with LF, as on the platform we run on.
#pragma once

#include "platform/files.h"
#include <cstdint>
#include <string>

struct transfer;

// Opens path for the transfer with a C open mode and resets its conversion state; false, with the
// reason in errno, when it cannot be opened. The server opens regular files only.
bool file_open(transfer& t, const file_place& place, const char* open_mode, int32_t initial_block);
// The same for a stream that is open already (standard input or output), named name; false, with
// errno as it is, when there is none.
bool file_adopt(transfer& t, FILE* stream, const std::string& name, const char* open_mode,
                int32_t initial_block);
// Fills buffer with up to count bytes for the wire; fewer only at the end of the file.
int file_read(transfer& t, uint8_t* buffer, int count);
// Stores count bytes received from the wire.
void file_write(transfer& t, const uint8_t* buffer, int count);
// Closes the file after checking that no netascii sequence was left half done.
void file_close(transfer& t);
// Closes the file of a transfer that did not complete, without those checks.
void file_close_unchecked(transfer& t);
