#include "file_layer.h"

#include "diag/report.h"
#include "diag/role.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "packet.h"
#include "platform/files.h"

std::string transfer_file_name;

namespace {

constexpr int CR = '\r';
constexpr int LF = '\n';

int nextchar = -1; // netascii reading: the second byte of a pair that did not fit the last block
int saw_cr = 0;    // netascii writing: a CR waits for its partner

void put(int c, FILE* stream) {
    if (stream_putc(c, stream) == EOF) report_fatal(role().texts.putc_failed);
}

} // namespace

FILE* file_open(const std::string& path, const char* open_mode, int32_t initial_block) {
    FILE* stream = stream_open(path, open_mode, role().server);
    if (!stream) return nullptr;
    transfer_state.nextblknum = initial_block;
    saw_cr = 0;
    nextchar = -1;
    trace_line("file_open: opened %s, mode = %s.", path.c_str(), open_mode);
    if (role().server) transfer_file_name = path;
    status_file_write(path);
    return stream;
}

int file_read(FILE* stream, uint8_t* buffer, int count, int mode) {
    if (mode == MODE_OCTET) {
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
    if (mode != MODE_NETASCII) report_fatal(role().texts.unknown_read_mode);
    int out = 0;
    while (out < count) {
        if (nextchar >= 0) {
            buffer[out++] = static_cast<uint8_t>(nextchar);
            nextchar = -1;
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
            nextchar = LF;
        } else if (c == CR) {
            buffer[out++] = CR;
            nextchar = 0;
        } else {
            buffer[out++] = static_cast<uint8_t>(c);
        }
    }
    return out;
}

void file_write(FILE* stream, const uint8_t* buffer, int count, int mode) {
    if (mode == MODE_OCTET) {
        long written = stream_write_raw(stream, buffer, static_cast<size_t>(count));
        if (written != count)
            report_fatal(role().texts.octet_write_failed, static_cast<int>(written));
        return;
    }
    if (mode != MODE_NETASCII) report_fatal(role().texts.unknown_write_mode);
    for (int i = 0; i < count; ++i) {
        int c = buffer[i];
        if (saw_cr) {
            // CR LF is a local line end, CR NUL a CR of its own; the CR waited for this byte.
            if (c != LF && c != 0)
                report_peer_fault("file_write: Invalid sequence received: CR followed by 0x%02x.",
                                  c);
            saw_cr = 0;
            put(c == LF ? LF : CR, stream);
        } else if (c == CR) {
            saw_cr = 1;
        } else {
            put(c, stream);
        }
    }
}

void file_close(FILE*& stream) {
    if (!role().server) status_file_delete();
    if (saw_cr) report_peer_fault("file_close: Final character was a CR.");
    if (nextchar >= 0) report_fatal("file_close: Nextchar >= 0.");
    int result = std::fclose(stream);
    stream = nullptr;
    if (result != 0) report_fatal(role().texts.close_failed);
    if (role().server) trace_line("file_close: Closed local file.");
}

void file_close_unchecked(FILE*& stream) {
    if (stream) std::fclose(stream);
    stream = nullptr;
}
