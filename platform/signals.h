// The signals that end or reload a headless program (SIGINT, SIGTERM, SIGHUP), taken
// synchronously.
#pragma once

// Blocks the termination signals in the calling thread and in every thread it starts later.
void signals_hold_termination();
// A descriptor that becomes readable when a held termination signal arrives, for waits on it
// together with other events; signals_take() then takes the signal and returns its number.
int signals_termination_fd();
int signals_take(int fd);
