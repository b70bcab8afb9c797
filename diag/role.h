// The role profile: what differs between the server and the client enters the shared engine and
// diagnostics through this one record, which each program installs at start.
#pragma once

#include "ui/ui.h"

#include <cstdint>
#include <span>

struct transfer;

// A protocol handler: the transfer, the received datagram from the byte after the opcode, and its
// length less two (none, and 0, for a wait that ran out). A negative result ends the transfer.
using fsm_handler = int (*)(transfer& t, const uint8_t* packet, int length);
// The states of a transfer's machine: what it has sent last, named by the protocol's opcodes.
enum class fsm_state : uint8_t {
    start = 0,           // nothing yet (the server, before a request's answer)
    read_requested = 1,  // the client's RRQ
    write_requested = 2, // the client's WRQ
    data_sent = 3,
    ack_sent = 4,
    options_sent = 6, // the server's OACK
    any = 0xff,       // a transition of every state
};
// What happens to a transfer: a datagram of an opcode, or its wait running out.
enum class fsm_event : uint8_t {
    read_request = 1,
    write_request = 2,
    data = 3,
    ack = 4,
    error = 5,
    options = 6,
    timeout = 7,
};
// What the machine does in a state at an event; a pair no transition names is a protocol fault.
struct fsm_transition {
    fsm_state state;
    fsm_event event;
    fsm_handler handler;
};

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
    const char* peer_said;          // before the words of the peer's ERROR: "The server said: "
    const char* send_failed;        // a send the system refused
    const char* file_closed;        // the trace line of a file closed; none for no line
};

struct role_profile {
    const char* status_file_name;                  // in the temporary folder
    int status_control;                            // the status line's control identifier
    ui_icon fatal_icon;                            // the icon of a fatal report's box
    std::span<const fsm_transition> transitions;   // the state machine, the waits' end included
    void (*abort)();                               // run by a fatal report before its thread ends
    // The last block went across: what the role does before its last packet goes out (the
    // server closes the file, runs the post-upload command and sums up); none: nothing.
    void (*transfer_completed)(transfer& t, bool received);
    bool (*serving)();          // the program still serves transfers (the server is enabled)
    bool faults_are_fatal;      // a transfer's fault is a fatal report (a box, the thread ends)
                                // rather than the end of that transfer alone
    bool learns_peer_port;      // the peer's port is the one its first answer comes from
    bool traces_before_send;    // a send's trace line comes before the send, not after
    bool drops_at_stop;         // a datagram that arrives with a stop is dropped
    bool blocks_when_done;      // the socket goes back to blocking once the machine has ended
    bool regular_files_only;    // only regular files are read and written (no device, no FIFO)
    bool ends_in_rows;          // a transfer's end is said by its row of the list alone, not by
                                // a status line of its own as well
    int new_file_mode;          // the permissions a new file is made with, less the mask
    role_texts texts;
};

void role_install(const role_profile* profile);
const role_profile& role();
