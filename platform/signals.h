// The termination signals (SIGINT, SIGTERM) of a headless program, taken synchronously.
#pragma once

// Blocks the termination signals in the calling thread and in every thread it starts later.
void signals_hold_termination();
// Waits up to milliseconds for a termination signal; its number, or 0 when none came.
int signals_wait_termination(int milliseconds);
