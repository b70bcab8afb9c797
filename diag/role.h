// The role profile: what differs between the server and the client enters the shared engine and
// diagnostics through this one record, which each program installs at start.
#pragma once

#include "ui/ui.h"

#include <cstdint>

struct transfer;

// A protocol handler: the transfer, the received datagram from the byte after the opcode, and its
// length less two. A negative result ends the transfer.
using fsm_handler = int (*)(transfer& t, const uint8_t* packet, int length);
// Rows: the opcode last sent; columns: the opcode received; OACK is the last of both.
using fsm_table = fsm_handler[7][7];

// Texts that the two programs word differently.
struct role_texts {
    const char* net_close;          // "net_close: host = %s, socket fd = %d."
    const char* send_ack;           // "Sending ACK for block# %d."
    const char* send_data;          // "Sending %d bytes of DATA with block# %d."
    const char* data_received;      // "DATA received, %d bytes, block# %d."
    const char* ack_received;       // "ACK received, block# %d."
    const char* receive_length;     // a datagram shorter than an opcode and a block number
    const char* invalid_opcode;     // an opcode outside 1 to 5
    const char* progress_kind_1;    // progress while the transfer kind is 1 ("%lld bytes sent."),
                                    // nullptr where a meter shows it
    const char* progress_kind_2;    // progress while the transfer kind is 2
    const char* summary_sent;       // "%lld bytes sent in %.1f seconds."
    const char* waited;             // "Waited %.1f seconds. Is there a ... problem?"
    const char* octet_write_failed; // a short octet write
    const char* putc_failed;        // a failed netascii character write
    const char* unknown_read_mode;  // file_read with a mode neither netascii nor octet
    const char* unknown_write_mode; // file_write likewise
    const char* close_failed;       // the local file cannot be closed
    const char* cancelled;          // the ERROR that tells the peer a stop ended the transfer
};

struct role_profile {
    bool server;                                // the server's copy of the shared routines
    const char* status_file_name;               // in the temporary folder
    int status_control;                         // the status line's control identifier
    ui_icon fatal_icon;                         // the icon of a fatal report's box
    const fsm_table* dispatch;                  // the state machine's handlers
    void (*abort)();                            // run by a fatal report before its thread ends
    void (*end_of_transfer)(const transfer& t); // server: after the file is closed, before the
                                                // summary
    bool (*serving)();                          // server: the server is still enabled
    void (*transfer_stopped)();     // client: a stop seen in the state machine; ends the thread
    bool (*no_answer)(transfer& t); // client: the request got no answer in one wait: true when
                                    // it has gone to another address of the server
    role_texts texts;
};

void role_install(const role_profile* profile);
const role_profile& role();
