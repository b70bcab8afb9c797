// Expectations on the next datagram a scripted peer receives.
#pragma once

#include "udp_peer.h"

#include <gtest/gtest.h>

// The next datagram must be a packet with this opcode and number (block or error code).
inline datagram expect_packet(const udp_peer& peer, int opcode, int number, int wait_ms = 5000) {
    auto got = peer.receive(wait_ms);
    EXPECT_TRUE(got) << "no packet " << opcode << "/" << number;
    if (!got) return {};
    EXPECT_EQ(got->bytes.substr(0, 4), tftp_packet(opcode, number))
        << "expected packet " << opcode << "/" << number;
    return *got;
}

// The next datagram's bytes, or "<nothing>" when none came within wait_ms.
inline std::string next_bytes(const udp_peer& peer, int wait_ms = 5000) {
    auto got = peer.receive(wait_ms);
    return got ? got->bytes : "<nothing>";
}

// Nothing may arrive within wait_ms.
inline void expect_silence(const udp_peer& peer, int wait_ms = 400) {
    auto got = peer.receive(wait_ms);
    EXPECT_FALSE(got) << "unexpected datagram of " << (got ? got->bytes.size() : 0) << " bytes";
}
