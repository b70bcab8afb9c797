// Error reports: traced, then shown in a box titled "Error". A fatal report also runs the
// program's abort routine and ends the calling worker thread.
#pragma once

[[noreturn]] void report_fatal(const char* text);
[[noreturn]] void report_fatal(const char* format, int value);
[[noreturn]] void report_fatal(const char* format, int first, int second);

// A fault caused by what the peer sent. In the client it is fatal. In the server it ends only
// that transfer: the message is traced and shown on the status line, not in a box, and
// transfer_ended unwinds to the owner of the transfer, which closes what it opened and listens
// again; the server stays enabled.
[[noreturn]] void report_peer_fault(const char* text);
[[noreturn]] void report_peer_fault(const char* format, int value);
[[noreturn]] void report_peer_fault(const char* format, int first, int second);
struct transfer_ended {};

void report_error(const char* text);
void report_error(const char* format, const char* argument);
