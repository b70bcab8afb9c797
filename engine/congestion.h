// Sending as fast as the path carries, and no faster. The transfers that leave through one
// interface share one congestion window: the blocks the path takes in a round trip, all of them
// together. It is learned as TCP learns its own: it starts at two blocks, grows by each block an
// ACK confirms until the first loss and by one block a round trip after it, and shrinks to 0.7
// of itself at a loss (a window repair, a wait that ran out, a datagram this machine's queue
// dropped), once for the datagrams that left before the cut. Every DATA datagram leaves paced,
// the round trip divided by the window after the one before, so that a window spreads over the
// round trip instead of filling the queue in front of the server in one burst, and a crowd of
// transfers in lock step gets the link's rate between them instead of overflowing its queue.
// The server keeps one path for each interface; the client's transfer has one of its own.
#pragma once

#include <cstdint>
#include <deque>

struct path_budget {
    double cwnd = 2;      // blocks a round trip
    double ssthresh = 0;  // the window after the last cut; 0 until the first loss
    double srtt_us = 0;   // smoothed round trip of the DATA the path's transfers sent; 0: none
    uint64_t next_us = 0; // when the next datagram may leave
    uint64_t cut_us = 0;  // when the window was last cut
    uint64_t held_us = 0; // when a datagram was last held back for the pace
    uint64_t sent_us = 0; // when the last datagram left
    int block_size = 512; // of the last datagram, for the rate shown
    // The keys of the transfers that wait for the pace (their sockets, or numbers of their own
    // where they share the listening one), in the order of their turns (the server's daemon keeps
    // the line): while any waits, another's datagram goes behind them, so that none starves.
    std::deque<int> line;
};

// Whether a datagram may leave at now_us; when it may, it is counted as gone.
bool path_may_send(path_budget& p, int block_size, uint64_t now_us);
// Microseconds from now_us until the next datagram may leave, 0 when it may now.
uint64_t path_wait_us(const path_budget& p, uint64_t now_us);
// The same in whole milliseconds, rounded up, for the waits of the system (a wait of none until
// the pace allows would spin).
int path_wait_ms(const path_budget& p, uint64_t now_us);
// An ACK confirmed blocks.
void path_acked(path_budget& p, int64_t blocks, uint64_t now_us);
// A DATA datagram was answered sample_us after it left.
void path_round_trip(path_budget& p, uint64_t sample_us);
// A datagram that left at sent_us was lost; false when the loss was already answered by a cut.
bool path_loss(path_budget& p, uint64_t sent_us, uint64_t now_us);
// Bytes a second the pace lets through, 0 while no round trip is known.
double path_rate(const path_budget& p);
