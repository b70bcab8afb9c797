#include "file_layer.h"

#include "diag/report.h"
#include "diag/role.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "packet.h"
#include "platform/files.h"
#include "transfer.h"

#include <cerrno>
#include <cstdio>

namespace {

constexpr int CR = '\r';
constexpr int LF = '\n';

// The local file failed the transfer: the peer is told (a full disk in the words of the
// protocol's own error), and the transfer ends with text and the system's reason.
[[noreturn]] void file_fault(transfer& t, const char* text, int error) {
    // Gone before the peer hears of it: what it then finds is what stays.
    file_close_unchecked(t);
    if (error_is_disk_full(error))
        tell_peer(t, 3, "Disk full or allocation exceeded.");
    else
        tell_peer(t, 0, error_text(error));
    report_transfer_fault((std::string(text) + " (" + error_text(error) + ")").c_str());
}

void put(transfer& t, int c) {
    if (stream_putc(c, t.file) == EOF) file_fault(t, role().texts.putc_failed, errno);
}

} // namespace

bool file_open(transfer& t, const file_place& place, const char* open_mode, int32_t initial_block) {
    int error = 0;
    const bool text = t.mode == MODE_NETASCII;
    const role_profile& r = role();
    t.file = open_mode[0] == 'w'
                 ? staged_open(place, r.regular_files_only, text, r.new_file_mode, &t.staged, &error)
                 : stream_open(place, r.regular_files_only, text);
    if (!t.file && error != 0) errno = error;
    // A binary file read whole is what the transfer moves; the bytes of a netascii one change
    // on the way.
    if (t.file && open_mode[0] == 'r' && t.mode == MODE_OCTET) t.meter->total = file_size(place);
    return file_adopt(t, t.file, place.path, open_mode, initial_block);
}

bool file_adopt(transfer& t, FILE* stream, const std::string& path, const char* open_mode,
                int32_t initial_block) {
    t.file = stream;
    if (!stream) return false;
    t.nextblknum = initial_block;
    t.saw_cr = 0;
    t.nextchar = -1;
    t.path = path;
    trace_line("file_open: opened %s, mode = %s.", path.c_str(), open_mode);
    status_file_write(path, &t);
    return true;
}

int file_read(transfer& t, uint8_t* buffer, int count) {
    FILE* stream = t.file;
    if (t.mode == MODE_OCTET) {
        // One read fills a block of a regular file; only other kinds of file come in pieces.
        int total = 0;
        while (total < count) {
            long got = stream_read_raw(stream, buffer + total, static_cast<size_t>(count - total));
            if (got < 0)
                file_fault(t, "file_read: A read error occurred on the local file.", errno);
            if (got == 0) break;
            total += static_cast<int>(got);
        }
        return total;
    }
    if (t.mode != MODE_NETASCII) report_fatal(role().texts.unknown_read_mode);
    int out = 0;
    while (out < count) {
        if (t.nextchar >= 0) {
            buffer[out++] = static_cast<uint8_t>(t.nextchar);
            t.nextchar = -1;
            continue;
        }
        int c = stream_getc(stream);
        if (c == EOF) {
            if (std::ferror(stream))
                file_fault(t, "file_read: A read error occurred from getc on the local file.",
                           errno);
            return out;
        }
        if (c == LF) {
            buffer[out++] = CR;
            t.nextchar = LF;
        } else if (c == CR) {
            buffer[out++] = CR;
            t.nextchar = 0;
        } else {
            buffer[out++] = static_cast<uint8_t>(c);
        }
    }
    return out;
}

void file_write(transfer& t, const uint8_t* buffer, int count) {
    FILE* stream = t.file;
    if (t.mode == MODE_OCTET) {
        // A write that the disk cuts short says why at the next one.
        for (int done = 0; done < count;) {
            long written =
                stream_write_raw(stream, buffer + done, static_cast<size_t>(count - done));
            if (written <= 0) {
                char text[128];
                std::snprintf(text, sizeof text, role().texts.octet_write_failed,
                              static_cast<int>(written));
                file_fault(t, text, written < 0 ? errno : ENOSPC);
            }
            done += static_cast<int>(written);
        }
        return;
    }
    if (t.mode != MODE_NETASCII) report_fatal(role().texts.unknown_write_mode);
    for (int i = 0; i < count; ++i) {
        int c = buffer[i];
        if (t.saw_cr) {
            // CR LF is a local line end, CR NUL a CR of its own; the CR waited for this byte.
            if (c != LF && c != 0)
                protocol_violation(
                    t, "file_write: Invalid sequence received: CR followed by 0x%02x.", c);
            t.saw_cr = 0;
            put(t, c == LF ? LF : CR);
        } else if (c == CR) {
            t.saw_cr = 1;
        } else {
            put(t, c);
        }
    }
}

void file_close(transfer& t) {
    status_file_drop(&t);
    if (t.saw_cr) protocol_violation(t, "file_close: Final character was a CR.");
    if (t.nextchar >= 0) report_transfer_fault("file_close: Nextchar >= 0.");
    FILE* stream = t.file;
    t.file = nullptr;
    // A file written takes its name here, once it is whole and on the disk.
    int error = 0;
    if (!t.staged.name.empty())
        error = staged_commit(stream, t.staged, t.keep_existing, t.keep_versions);
    else if (std::fclose(stream) != 0)
        error = errno;
    t.staged = {};
    if (error == EEXIST && t.keep_existing) {
        tell_peer(t, 6, "File already exists.");
        report_transfer_fault("file_close: The file appeared while it was uploaded.");
    }
    if (error != 0) file_fault(t, role().texts.close_failed, error);
    if (role().texts.file_closed) trace_line("%s", role().texts.file_closed);
}

void file_close_unchecked(transfer& t) {
    if (t.file) staged_discard(t.file, t.staged);
    t.file = nullptr;
    t.staged = {};
}
