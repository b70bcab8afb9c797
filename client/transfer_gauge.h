// The client's progress bar with its rate ("1.2 MB/s"), which pellcl draws as one line on a
// terminal: four times a second while a transfer runs, and once more as it ends. The bar shows
// the share done where the size is known (an upload, a download whose server told the size),
// and otherwise moves without one.
#pragma once

#include "diag/progress.h"

#include <memory>
#include <string>

// The rate of bytes moved in seconds, in the units a person reads ("1.2 MB/s", "850 kB/s").
std::string rate_text(double bytes, double seconds);
// The time a transfer has left, as a person reads it ("45 s left", "3:05 left", "1:02:03 left").
std::string remaining_text(double seconds);

// The bar empty and no rate, at Start.
void gauge_reset();
// Follows the transfer that meter counts until gauge_end.
void gauge_start(std::shared_ptr<transfer_meter> meter);
// The transfer has ended after seconds: its last count and its mean rate stay; a bar without a
// share is filled when the transfer completed.
void gauge_end(bool completed, double seconds);
// The transfer's thread is ending, however it ends (a stop, a fatal report): the bar stays as
// it was last drawn and nothing draws on it any more.
void gauge_stop();
