// The server's run, the same for both front ends: it starts with a settings value that has been
// checked and serves until it is stopped (by its front end, or by a fault that ends the daemon);
// the close sequence ends the program's serving for good. Neither touches a control: a front end
// that shows the state is told of each change.
#pragma once

struct server_settings;

// Starts serving value, which server_settings_check has passed: the log, the mask, the timeout,
// the access lists' names, the daemon. before_serving, when given, runs first and keeps the server
// disabled when it returns false. Whether it serves.
bool server_start(const server_settings& value, bool (*before_serving)() = nullptr);
// Stops serving; the daemon closes its transfers and its sockets and ends. Nothing when it does
// not serve.
void server_disable();
// Set when the server stops, for a front end that waits for it.
int server_disabled_event();
// The front end that shows the state: shown(true) as the server starts, shown(false) as it stops.
void server_state_shown(void (*shown)(bool enabled));
// Stops the server, lets its workers end, closes every file and says goodbye.
void server_close();
