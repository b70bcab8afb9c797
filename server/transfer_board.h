// What the server shows of its transfers: the "Recent transfers" list (the last 200, newest
// first, a running one with its progress, busy answers counted rather than listed) and, when it
// may run many at once, their number and the bytes they have moved on the status line once a
// second ("3 transfers, 12582912 bytes sent."). The headless server prints each row as its
// transfer ends. The daemon thread keeps it and shows it, so nothing of it outlives the daemon.
#pragma once

#include "engine/transfer.h"

#include <atomic>
#include <string>

// Set by the headless server: a finished transfer's row also goes to standard output.
extern std::atomic<int> board_rows_printed;
// Where the totals go once a second while transfers run: the status line (by default), the
// line a terminal redraws in place (IDC_TOTALS, headless), or nowhere (0: a journal gets what
// changed, not the totals once a second).
extern std::atomic<int> board_totals_control;

struct server_settings;
// Whether the status line counts every transfer once a second (the settings let many run at
// once) instead of each transfer showing its own progress.
bool board_counts_all(const server_settings& settings);
// A transfer whose request has been judged, accepted or refused.
void board_begin(const transfer& t);
// The transfer has ended, its outcome on it.
void board_end(const transfer& t);
// A request answered busy.
void board_busy();

// Shows the list (and the totals) when something changed or transfers run, at most once a
// second; the milliseconds until it wants to be called again, -1 when nothing is pending.
int board_tick();
// Shows what changed since the last tick at once, as the daemon ends.
void board_flush();
