// One transfer's whole state: the protocol record with the last packet sent, the socket and the
// peer it talks to, the round-trip estimate and the stopwatch, the local file with its conversion
// state, and the count of bytes moved. Whoever runs the transfer owns the object (the server's
// daemon, the client's transfer thread); nothing of one transfer is reachable from another.
#pragma once

#include "congestion.h"
#include "diag/progress.h"
#include "options.h"
#include "packet.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "rtt.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How a transfer ended: every end sets it, whatever ended the transfer, with the words that go
// with it (what was refused, why it failed).
struct transfer_outcome {
    enum class kind : uint8_t {
        running,   // it has not ended
        completed, // the last block went across
        refused,   // the request was refused with an ERROR
        ended,     // the peer ended it, and nothing went wrong (firmware asking for a size)
        timed_out, // the fifth wait in a row ran out
        stopped,   // a stop ended it
        failed,    // its peer, its file or its socket failed it
    };
    kind how = kind::running;
    std::string text;
    // As the list of recent transfers shows it: "completed", "refused: File not found."...
    std::string shown() const;
};

struct transfer {
    transfer();
    // Closes whatever is still open: the file unchecked (with the status file), then the socket.
    ~transfer();
    transfer(const transfer&) = delete;
    transfer& operator=(const transfer&) = delete;

    // The exchange. Block positions count whole blocks from the start and never wrap; only the
    // block numbers on the wire do, from 65535 to 0.
    int op_sent = 0;           // opcode of the last packet sent; an ERROR leaves it unchanged
    int op_recv = 0;           // opcode of the packet being handled
    int kind = 0;              // the request: OP_RRQ or OP_WRQ, 0 until it is known
    int mode = MODE_OCTET;     // MODE_NETASCII or MODE_OCTET
    int64_t nextblknum = 0;    // receiving: block expected next; sending: block last sent
    int64_t acked = -1;        // sending: block last acknowledged
    int64_t final_block = -1;  // sending: the file's last block, once it has been read
    int64_t ack_answered = -1; // sending: the repeated ACK the window now out has answered
    int64_t send_next = 1;     // sending: the block to send next, read or from the window's memory
    bool send_held = false;    // sending: the pace holds back blocks the window has room for
    int64_t last_acked = 0;    // receiving: block of the last ACK sent
    int unacked = 0;           // receiving: blocks taken since the last ACK
    bool gap_told = false;     // receiving: a block that came early has been answered
    std::vector<uint8_t> recv_buf;
    // The last packet built, or while DATA is sent the window's blocks, each in a slot of its
    // own at block_size + 4 bytes from the one before (slot 0 at the start).
    std::vector<uint8_t> send_buf;
    int send_len = 0;

    // Negotiated per transfer: the plain protocol's values unless an OACK changed them.
    int block_size = 512;
    int window_size = 1;
    int64_t tsize = -1;         // the file's size as the other side told it, -1 when unknown
    bool options_asked = false; // client: its request carried options, so an OACK may answer
    option_set asked;           // the options the request carried
    option_set agreed;          // server: the options it agreed to
    int path_mtu = 0;           // server: the MTU of the interface the request came in on
    std::string request;        // server: the request that began it, to know it if it comes again
    std::string file_name;      // server: the file the request names, as it names it
    transfer_outcome outcome;   // how it ended
    std::shared_ptr<const void> claim; // server: an upload's hold on the file it writes
    // server: the command to run once the upload is whole, as the settings stood at its request
    std::optional<std::string> after_upload;

    // Takes the options agreed in an OACK. The buffers grow only as blocks come and go: until
    // the peer answers, a transfer holds a few kilobytes whatever it agreed to.
    void take_options(const option_set& agreed);

    // The endpoint.
    int socket = -1;            // owned, unless shared; closed by net_close
    // server: served from the listening socket itself, which the daemon owns and reads; the
    // datagrams from the peer wait here, in the order they came
    bool socket_shared = false;
    std::deque<std::string> inbox;
    int key = -1; // server: how the daemon's table finds it (its socket, unless shared)
    net_endpoint peer;          // destination of every send; the only accepted sender
    net_endpoint local;         // server: the address the request came to
    std::string peer_host;      // the peer as text, for the close trace line
    bool first_receive = false; // client: the peer's port is taken from the first answer
    bool answered = false;      // the peer has sent something since the transfer began
    std::vector<net_endpoint> other_addresses; // client: the server's further addresses
    int timeout_seconds = 120;                 // the packet timeout: the longest wait
    uint64_t wait_start = 0;                   // millisecond clock when the current wait began
    uint64_t sent_us = 0;                      // microsecond clock when a datagram last left
    // The path the transfer's DATA leaves by, shared with the transfers that leave by it too.
    std::shared_ptr<path_budget> budget;
    int wait_ms = 0; // how long the current wait lasts

    // Timing.
    rtt_record rtt;
    stopwatch watch;

    // The local file.
    FILE* file = nullptr;
    staged_file staged;         // a file written: where it is written until it is whole
    bool keep_existing = false; // a file written may not replace one that appears meanwhile
    int keep_versions = 0;      // the file a file written replaces is kept as NAME.1, up to NAME.N
    std::string path;           // as opened, for the post-upload command
    int nextchar = -1; // netascii reading: the second byte of a pair that did not fit a block
    int saw_cr = 0;    // netascii writing: a CR waits for its partner

    // Shared with the progress thread.
    std::shared_ptr<transfer_meter> meter;

    int64_t bytes() const { return meter->bytes.load(); }
};
