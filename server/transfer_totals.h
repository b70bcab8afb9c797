// The status line of a server that runs many transfers at once: once a second, how many run and
// the bytes they have moved ("3 transfers, 12582912 bytes sent."). One thread shows it for as
// long as any of them runs; each transfer's summary still says what that one moved.
#pragma once

#include "diag/progress.h"

#include <memory>

// Counts a transfer that has begun in the totals until its meter says it has ended.
void totals_join(std::shared_ptr<transfer_meter> meter);
