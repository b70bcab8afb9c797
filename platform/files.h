// File facts and small file operations, behind calls that do not show the system underneath.
#pragma once

#include "confined_folder.h"
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// The system's text for an error number.
std::string error_text(int error);
// The error of a path refused because it is a link that another user made in a folder anyone may
// write to (as the kernel's protected_symlinks refuses it): following it would let that user
// choose which file is replaced. The system has no number of its own for it.
constexpr int error_planted_link = 0x10000;
// Replaces the file at path with content, readable only by its owner, without following a
// symbolic link that stands in its place. False when it cannot be written.
bool file_replace_private(const std::string& path, const std::string& content);
// Removes the file at path; a file that is not there is no failure.
void file_remove(const std::string& path);
// Opens a log at path to add lines to its end, as a text file of this system; errno says why not.
FILE* log_open(const std::string& path);

// Where a file is: a path of this system, or a name beneath a confined folder (a server's root),
// which no name, link or ".." leads out of.
struct file_place {
    file_place(std::string whole) : path(std::move(whole)) {} // NOLINT: a path is a place
    file_place(std::shared_ptr<const confined_folder> folder, std::string name, std::string whole)
        : root(std::move(folder)), beneath(std::move(name)), path(std::move(whole)) {}
    std::shared_ptr<const confined_folder> root; // names resolve beneath it; none: the path alone
    std::string beneath;                         // the name beneath root
    std::string path;                            // the whole path, as people read it
};

// Opens the place for reading as a buffered stream. With regular_only, anything but a regular
// file is refused, without waiting on a FIFO. A text is read with this system's line ends
// turned into LF (CR LF on Windows), anything else byte for byte.
FILE* stream_open(const file_place& place, bool regular_only, bool text);

// A file written under a temporary name beside the one it is for, which it replaces only once
// it is whole and on the disk: a reader finds the old file or the new one, never a part, and a
// write that fails leaves the old one as it was. Devices and FIFOs are written in place.
struct staged_file {
    std::shared_ptr<const confined_folder> folder; // where it is written; none: in place
    std::string temp, name; // in folder: its temporary name and the name it takes (in place: the
                            // path written)
};
// Temporary names begin with this, so that a server can refuse to serve them.
constexpr const char* staged_name_prefix = ".pell-";
// Opens the file that will be at place, for writing. It takes the mode of a file it replaces, or
// new_mode less the process's mask. A path that is a link is written through; beneath a confined
// folder a link is replaced, and refused when it leads out. With regular_only anything but a
// regular file is refused. nullptr, with the system's error number in *error, when it cannot be
// opened: the folder takes no new file, or a file there may not be written.
FILE* staged_open(const file_place& place, bool regular_only, bool text, int new_mode,
                  staged_file* staged, int* error);
// Writes the stream out to the disk, closes it and gives the file its name. With keep_existing
// a file that has appeared under that name meanwhile stays, and the new one goes (EEXIST);
// otherwise, with versions, the file it replaces is kept as NAME.1, NAME.1 becomes NAME.2 and so
// on up to NAME.versions (a reader finds the old file or the new one under the name throughout).
// 0, or the system's error number, when the temporary file is gone.
int staged_commit(FILE* stream, const staged_file& staged, bool keep_existing, int versions = 0);
// Closes the stream and removes the temporary file: the file it was for stays as it was.
void staged_discard(FILE* stream, const staged_file& staged);
// Removes the temporary files that staged writes left beneath folder when their process ended
// before they were whole (a crash, a kill), and that nothing writes now; how many. Links are not
// followed, and a folder too large to look through whole is looked through in part.
int staged_leftovers_remove(const std::string& folder);
// The same text for every name of one file, through links and repeated separators, so long as
// its folder exists.
std::string file_identity(const file_place& place);
// Whether an error number says that the disk or the user's share of it is full.
bool error_is_disk_full(int error);
// Whether the place's name leads out of its confined folder, through a link or otherwise.
bool path_leads_out(const file_place& place);

// One character through the stream's buffer; the stream belongs to one thread, so no lock.
// NOLINTBEGIN(concurrency-mt-unsafe)
#ifdef _WIN32
inline int stream_getc(FILE* stream) { return _getc_nolock(stream); }
inline int stream_putc(int c, FILE* stream) { return _putc_nolock(c, stream); }
#else
inline int stream_getc(FILE* stream) { return getc_unlocked(stream); }
inline int stream_putc(int c, FILE* stream) { return putc_unlocked(c, stream); }
#endif
// NOLINTEND(concurrency-mt-unsafe)

// One unbuffered read or write on the descriptor under a stream, bypassing the stream's buffer.
// The result is the system call's: bytes moved, or -1.
long stream_read_raw(FILE* stream, void* buffer, size_t count);
long stream_write_raw(FILE* stream, const void* buffer, size_t count);

// A file or folder exists at the place.
bool path_exists(const file_place& place);
// The place as the disk writes its name where only the case of its letters differs: each part
// that does not exist as written is the first, in sorted order, of those that differ only in
// case. The place itself when nothing matches, and on Windows, whose names are case-blind.
file_place place_ignoring_case(const file_place& place);
// A name as this system's files may take it: on Windows, whose names cannot hold a colon (an
// IPv6 address's), each colon becomes a dash; elsewhere the name as it is.
std::string file_name_of(const std::string& name);
// A folder exists at path.
bool path_is_folder(const std::string& path);

// The access checks of a place: this process may read it; it may not be written (its owner has
// no write permission, or the system refuses this process).
bool path_readable(const file_place& place);
bool path_read_only(const file_place& place);

// Makes the folder at path (its parent must exist); false when it cannot.
bool folder_create(const std::string& path);
// Whether this process may list and read the folder at path, or with writing create files in it.
bool folder_usable(const std::string& path, bool writing);
// A file that can be opened for reading and is not a folder; when not, errno says why.
bool file_readable(const std::string& path);
// The size of the file at the place in bytes; -1 when it cannot be told.
int64_t file_size(const file_place& place);
// Whether the stream (standard output or standard error) is a terminal, not a file or a pipe.
bool is_terminal(FILE* stream);
// A stream of its own on standard output (writing) or standard input, as command-line tools take
// "-": its bytes as they are, or a text with this system's line ends. Closing it leaves the
// program's own standard streams open. nullptr, with errno, when it cannot be had.
FILE* standard_stream(bool writing, bool text);
constexpr const char* standard_stream_name = "-";
// Whether the file system that would hold a new file at the place has bytes to spare for it
// (true when it cannot be told).
bool room_for(const file_place& place, int64_t bytes);
