#include "platform/signals.h"

#include "platform/socket.h"
#include "service_hooks.h"

#include <atomic>
#include <windows.h>

namespace {

// The console's request reaches the waiting thread through an event it waits on.
int event() {
    static const int created = event_create();
    return created;
}
std::atomic<bool> asked{false};

BOOL WINAPI on_console(DWORD kind) {
    signals_ask_stop();
    // Closing the console ends the process once this returns: time for the clean stop.
    if (kind == CTRL_CLOSE_EVENT || kind == CTRL_LOGOFF_EVENT || kind == CTRL_SHUTDOWN_EVENT)
        Sleep(3000);
    return TRUE;
}

} // namespace

const bool signals_can_reload = false;
const char* const signals_stop_text = "Ctrl-C, Ctrl-Break, the console closing";

void signals_ask_stop() {
    asked = true;
    event_set(event());
}

void signals_hold_termination() { SetConsoleCtrlHandler(on_console, TRUE); }

int signals_termination_fd() { return event(); }

int signals_take(int fd) {
    event_clear(fd);
    return asked.exchange(false) ? SIGNAL_STOP : SIGNAL_NONE;
}
