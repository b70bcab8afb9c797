// One transfer's whole state: the protocol record with the last packet sent, the socket and the
// peer it talks to, the round-trip estimate and the stopwatch, the local file with its conversion
// state, and the count of bytes moved. Whoever runs the transfer owns the object (the server's
// daemon, the client's transfer thread); nothing of one transfer is reachable from another.
#pragma once

#include "diag/progress.h"
#include "packet.h"
#include "platform/socket.h"
#include "rtt.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct transfer {
    transfer();
    // Closes whatever is still open: the file unchecked (with the status file), then the socket.
    ~transfer();
    transfer(const transfer&) = delete;
    transfer& operator=(const transfer&) = delete;

    // The exchange.
    int op_sent = 0;        // opcode of the last packet sent; an ERROR leaves it unchanged
    int op_recv = 0;        // opcode of the packet being handled
    int kind = 0;           // the request: OP_RRQ or OP_WRQ, 0 until it is known
    int32_t nextblknum = 0; // receiving: block expected next; sending: block last sent
    int last_data_size = 0; // payload of the last DATA sent
    int mode = MODE_OCTET;  // MODE_NETASCII or MODE_OCTET
    std::vector<uint8_t> recv_buf;
    std::vector<uint8_t> send_buf; // the last packet built; DATA payload at offset 4
    int send_len = 0;

    // The endpoint.
    int socket = -1;            // owned; closed by net_close
    ipv4_endpoint peer;         // destination of every send; the only accepted sender
    std::string peer_host;      // the peer as text, for the close trace line
    bool first_receive = false; // client: the peer's port is taken from the first answer
    int timeout_seconds = 120;  // the wait for each datagram
    uint32_t wait_start = 0;    // millisecond clock when the current wait began

    // Timing.
    rtt_record rtt;
    stopwatch watch;

    // The local file.
    FILE* file = nullptr;
    std::string path; // as opened, for the post-upload command
    int nextchar = -1; // netascii reading: the second byte of a pair that did not fit a block
    int saw_cr = 0;    // netascii writing: a CR waits for its partner

    // Shared with the progress thread.
    std::shared_ptr<transfer_meter> meter;

    int64_t bytes() const { return meter->bytes.load(); }
};
