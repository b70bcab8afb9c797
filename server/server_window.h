// The server window "TFTPS": its opening, its commands, the enabled and disabled states and the
// close sequence.
#pragma once

// The window opens: factory defaults, the stored settings, and the server enabled when they say.
void server_window_open();
// A control was used: a box clicked, a button pressed, a field's text edited by the user.
void server_command(int id);
// Enables the server with the options shown; before_serving, when given, runs once they have
// been checked, before the daemon starts, and keeps the server disabled when it returns false.
void server_enable(bool (*before_serving)() = nullptr);
void server_disable();
// Set when the server is disabled, for a front end that waits for it.
int server_disabled_event();
// Disables the server, lets the workers end, closes every file and says goodbye.
void server_window_close();
