// The server's network front: the listening socket, read all the time, and the running
// transfers, each on a socket of its own. The one daemon thread runs them all: it waits on every
// socket at once and handles what came for the transfers before it reads a new request, so that
// a request that arrives after a transfer's last packet is never refused as busy.
#pragma once

#include <atomic>

// Daemon threads that have not ended yet: the current run's, and a stopped one still closing.
extern std::atomic<int> daemon_running;
// The transfers running now.
extern std::atomic<int> transfers_running;
// Set once the current run's daemon listens; cleared when the next run starts.
int daemon_listening_event();

// Starts the daemon of a new run of the server. It waits until the previous run's daemon has let
// go of everything before it listens (saying so on the status line if that takes a while), and
// the previous run's stop stays raised for that daemon: two daemons never serve at once. 0, or
// the system's error number when it has no thread to give.
int daemon_start();
// Stops the current run's daemon; it closes its transfers and its socket and ends.
void daemon_stop();
// False on the daemon thread of a run that has been stopped since (a later Enable may have begun
// another): what it reports must not reach the run that serves now.
bool daemon_run_is_current();
// Waits up to milliseconds for every daemon thread to have ended; whether they have.
bool daemon_wait_end(int milliseconds);
