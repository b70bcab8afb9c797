// Progress on the status line once a second while a transfer moves data, and the summary that
// a finished transfer leaves there. No progress line ever replaces a summary.
#pragma once

#include <string>

// Starts the progress thread of a new transfer; a watcher left from an earlier one ends.
void progress_start();
// Data has begun to move in the current transfer: its first count is shown at once.
void progress_data_moved();
// The progress thread itself.
void progress_thread(int generation);
// Ends the progress of the current transfer and leaves text on the status line: no progress
// line replaces it. Every last word of a transfer (summary, timeout, fault, stop) goes here.
void status_final(const std::string& text);
// The end-of-transfer line, with the transfer's elapsed seconds.
void summary_received(double elapsed);
void summary_sent(double elapsed);
