#include "file_layer.h"

#include "diag/report.h"
#include "diag/role.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "packet.h"
#include "platform/files.h"
#include "transfer.h"

namespace {

constexpr int CR = '\r';
constexpr int LF = '\n';

void put(int c, FILE* stream) {
    if (stream_putc(c, stream) == EOF) report_fatal(role().texts.putc_failed);
}

} // namespace

bool file_open(transfer& t, const std::string& path, const char* open_mode, int32_t initial_block) {
    t.file = stream_open(path, open_mode, role().server);
    if (!t.file) return false;
    t.nextblknum = initial_block;
    t.saw_cr = 0;
    t.nextchar = -1;
    t.path = path;
    // A binary file read whole is what the transfer moves; the bytes of a netascii one change
    // on the way.
    if (open_mode[0] == 'r' && t.mode == MODE_OCTET) t.meter->total = file_size(path);
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
            if (got < 0) report_fatal("file_read: A read error occurred on the local file.");
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
                report_fatal("file_read: A read error occurred from getc on the local file.");
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
        long written = stream_write_raw(stream, buffer, static_cast<size_t>(count));
        if (written != count)
            report_fatal(role().texts.octet_write_failed, static_cast<int>(written));
        return;
    }
    if (t.mode != MODE_NETASCII) report_fatal(role().texts.unknown_write_mode);
    for (int i = 0; i < count; ++i) {
        int c = buffer[i];
        if (t.saw_cr) {
            // CR LF is a local line end, CR NUL a CR of its own; the CR waited for this byte.
            if (c != LF && c != 0)
                report_peer_fault("file_write: Invalid sequence received: CR followed by 0x%02x.",
                                  c);
            t.saw_cr = 0;
            put(c == LF ? LF : CR, stream);
        } else if (c == CR) {
            t.saw_cr = 1;
        } else {
            put(c, stream);
        }
    }
}

void file_close(transfer& t) {
    if (!role().server) status_file_delete();
    if (t.saw_cr) report_peer_fault("file_close: Final character was a CR.");
    if (t.nextchar >= 0) report_fatal("file_close: Nextchar >= 0.");
    int result = std::fclose(t.file);
    t.file = nullptr;
    if (result != 0) report_fatal(role().texts.close_failed);
    if (role().server) trace_line("file_close: Closed local file.");
}

void file_close_unchecked(transfer& t) {
    if (t.file) std::fclose(t.file);
    t.file = nullptr;
}
