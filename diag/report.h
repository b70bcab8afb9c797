// Error reports: traced, then shown in a box titled "Error". A fatal report also runs the
// program's abort routine and ends the calling worker thread.
#pragma once

#include <string>

[[noreturn]] void report_fatal(const char* text);
[[noreturn]] void report_fatal(const char* format, int value);
[[noreturn]] void report_fatal(const char* format, int first, int second);

// A fault that ends one transfer: what the peer sent, its local file, its socket. In the client
// it is fatal. In the server it ends only that transfer: the message is traced and shown on the
// status line, not in a box, and transfer_ended unwinds to the owner of the transfer, which
// closes what it opened and listens again; the server stays enabled.
[[noreturn]] void report_transfer_fault(const char* text);
[[noreturn]] void report_transfer_fault(const char* format, int value);
[[noreturn]] void report_transfer_fault(const char* format, int first, int second);
// Ends only the transfer, in either program: the text is traced and left on the status line,
// without a box, and the owner of the transfer closes what it opened.
[[noreturn]] void report_transfer_end(const std::string& text);
// A send or receive refused because of the peer's address, port or network (unreachable, refused,
// filtered, a full queue): in both programs it ends only the transfer, with the reason traced and
// on the status line, never the program or the server.
[[noreturn]] void report_peer_unreachable(const char* text);
// What a peer fault unwinds with, to the owner of the transfer; its text is the reason given.
struct transfer_ended {
    std::string reason;
};

void report_error(const char* text);
void report_error(const char* format, const char* argument);
