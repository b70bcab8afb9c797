// The client's transfer: Start takes the window's fields into a request, checks it and runs it;
// the command line builds and checks its request itself. Running it starts one transfer thread,
// which owns the transfer: it opens the local file and an endpoint towards the server, sends the
// request, runs the state machine and shows the summary. Stop and a fatal error end it early.
#pragma once

#include "platform/address.h"

#include <atomic>
#include <cstdint>
#include <string>

struct transfer;
struct client_request;

// 1 while a transfer thread runs.
extern std::atomic<int> transfer_active;
// The pause between the end of a transfer and its summary, so that a window's user sees the
// close first; a console keeps both lines in view and does without.
extern std::atomic<int> summary_pause_ms;

// How the last transfer ended, for the command line.
enum : int {
    END_NONE = 0,      // no transfer has ended since the last Start
    END_COMPLETED = 1, // the last block went across
    END_TIMED_OUT = 2, // the fifth timeout of the transfer
    END_REFUSED = 3,   // the server answered the request with an ERROR
    END_FAILED = 4,    // the local file or the endpoint could not be opened, or a fatal error
    END_STOPPED = 5,   // Stop
};
extern std::atomic<int> last_transfer_end;
// 1 from a Start that started a transfer thread until that thread has ended.
extern std::atomic<int> session_running;
// Set when a transfer thread ends, for a front end that waits for it.
int session_end_event();

// Why the last transfer failed when the network refused it; empty otherwise.
std::string last_failure_text();

// Start: the window's fields taken into a request, checked, and run.
void client_start();
// Runs a request that client_request_check has passed: opens the log it names and starts the
// transfer thread.
void client_run(const client_request& request);
void download_thread(const client_request& request);
void upload_thread(const client_request& request);
void client_download(const client_request& request);
void client_upload(const client_request& request);
// The endpoint towards host: the address of the family only (none: of either, the resolver's
// first tried first), at port, or the service's port when port is 0.
int net_open(transfer& t, const std::string& host, const char* service, int port,
             net_family only);
int udp_open(transfer& t, const std::string& host, const char* service, int port,
             net_family only);
void send_RQ(transfer& t, int opcode, const std::string& name, int mode);
int recv_ERROR(transfer& t, const uint8_t* packet, int length);
// The server's answer to the options asked: taken when it asks for nothing more than was asked,
// otherwise refused with ERROR 8, which ends the transfer.
int recv_OACK(transfer& t, const uint8_t* packet, int length);
// The OACK again, after it was answered: the answer was lost (a download's ACK 0 goes again) or
// the server has not had the first DATA yet (the client's own timer sends it again).
int recv_OACK_again(transfer& t, const uint8_t* packet, int length);
void client_stop();
void client_abort();
// The server's address answered nothing in one wait: true when the request has gone on to the
// next of its addresses.
bool client_next_address(transfer& t);
