// What the console asks of a headless program: to stop (Ctrl-C, SIGINT, SIGTERM, the console
// closing) or, where the system has such a signal, to read its settings again (SIGHUP), taken
// synchronously by the thread that waits for it.
#pragma once

enum : int { SIGNAL_NONE = 0, SIGNAL_STOP = 1, SIGNAL_RELOAD = 2 };
// Whether this system can ask for a reload (Windows has no SIGHUP).
extern const bool signals_can_reload;
// What asks a console program to stop here, in words ("Ctrl-C, SIGTERM, the console closing").
extern const char* const signals_stop_text;

// Holds the stop and reload signals for the taking, in the calling thread and in every thread it
// starts later.
void signals_hold_termination();
// A descriptor that becomes readable when a held signal arrives, for waits on it together with
// other events; signals_take() then takes it: SIGNAL_STOP or SIGNAL_RELOAD (SIGNAL_NONE when none).
int signals_termination_fd();
int signals_take(int fd);
