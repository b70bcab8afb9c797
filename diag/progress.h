// Progress on the status line once a second while a transfer moves data, and the summary that
// a finished transfer leaves there. No progress line ever replaces a summary.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// What the progress line reads of a running transfer. The transfer and the progress thread share
// it, so that the thread never reaches into the transfer itself.
struct transfer_meter {
    std::atomic<int64_t> bytes{0};  // file bytes moved so far
    std::atomic<int> kind{0};       // 1 read, 2 write; 0 once the transfer has ended
    std::atomic<int64_t> total{-1}; // the bytes the transfer will move, -1 while not known
    // A sender's congestion window and pace, as the status line shows them: "window 24 blocks,
    // pacing 11.8 MB/s"; empty while nothing has been paced.
    std::string pace() const;
    std::atomic<int> window{0};         // blocks a round trip
    std::atomic<int64_t> pacing{0};     // bytes a second, 0 while no round trip is known
};

// Starts the progress thread of a new transfer; a watcher left from an earlier one ends.
void progress_start(std::shared_ptr<transfer_meter> meter);
// Data has begun to move in the current transfer: its first count is shown at once.
void progress_data_moved();
// Ends the progress of the current transfer and leaves text on the status line: no progress
// line replaces it. Every last word of a transfer (summary, timeout, fault, stop) goes here.
void status_final(const std::string& text);
// The same for a transfer's last word, which a role that lists its transfers' ends leaves unsaid.
void transfer_final(const std::string& text);
// The end-of-transfer line, with the bytes moved and the transfer's elapsed seconds.
void summary_received(int64_t bytes, double elapsed);
void summary_sent(int64_t bytes, double elapsed);
