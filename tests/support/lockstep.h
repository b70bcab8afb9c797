// A scripted TFTP peer for the lock-step exchange: it sends a file's wire bytes as DATA blocks
// and waits for each ACK, or takes DATA blocks and acknowledges each, on a udp_peer socket.
#pragma once

#include "udp_peer.h"

#include <string>

struct lockstep_outcome {
    bool completed = false; // the exchange reached its last block as the script expects
    std::string wire;       // the DATA payloads taken, in order
    std::string error;      // an ERROR's text, when one came
    uint16_t peer_port = 0; // the port the other side answered from
    int blocks = 0;         // DATA blocks sent or taken
};

// Sends wire as blocks 1, 2, ... to port, each after the ACK of the one before (the first at
// once). A wire whose length is a multiple of 512 ends with an empty block.
lockstep_outcome send_blocks(const udp_peer& socket, uint16_t port, const std::string& wire,
                             int wait_ms = 5000);
// Takes DATA blocks from block first on and acknowledges each until a short one. With port 0
// the first DATA fixes the port to answer; otherwise blocks must come from port.
lockstep_outcome take_blocks(const udp_peer& socket, uint16_t port, int wait_ms = 5000,
                             int first = 1);

std::string netascii_encode(const std::string& local);
std::string netascii_decode(const std::string& wire);
