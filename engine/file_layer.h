// The local file of a transfer: octet blocks pass unchanged with one system call each; netascii
// is converted a character at a time, with one character of state carried between blocks in
// each direction. A local line ends with LF, as on the platform we run on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Server: the path of the file in transfer, for the post-upload command.
extern std::string transfer_file_name;

// Opens path with a C open mode and resets the conversion state; none when it cannot be opened.
// The server opens regular files only.
FILE* file_open(const std::string& path, const char* open_mode, int32_t initial_block);
// Fills buffer with up to count bytes for the wire; fewer only at the end of the file.
int file_read(FILE* stream, uint8_t* buffer, int count, int mode);
// Stores count bytes received from the wire.
void file_write(FILE* stream, const uint8_t* buffer, int count, int mode);
// Closes the stream after checking that no netascii sequence was left half done.
void file_close(FILE*& stream);
// Closes the stream of a transfer that did not complete, without those checks.
void file_close_unchecked(FILE*& stream);
