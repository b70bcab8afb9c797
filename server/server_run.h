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
// The settings read again while serving: value serves from the next request, and the lists'
// names, the roots, the mask and the log are taken up again; running transfers go on as they
// began, and where the server listens stays as it is.
void server_reload(const server_settings& value);
// The log follows the value's switch: opened at its path when it is on, closed when it is off.
void server_log_follow(const server_settings& value);
// Said by the daemon once it listens: only then does the server show as enabled, so that one
// that could not bind never did.
void server_listening();
// Stops serving; the daemon closes its transfers and its sockets and ends. Nothing when it does
// not serve.
void server_disable();
// Set when the server stops, for a front end that waits for it.
int server_disabled_event();
enum class server_state { disabled, starting, listening };
// The front end that shows the state, told of each change.
void server_state_shown(void (*shown)(server_state state));
// Stops the server, lets its workers end, closes every file and says goodbye.
void server_close();
