// The server window "TFTPS": its opening, its commands, Enable and the close. It shows the
// settings that serve and changes them as the user does; Enable takes every field, checks the
// value and starts the server with it.
#pragma once

// The window opens: the stored settings over the factory ones, and the server enabled when they
// say so.
void server_window_open();
// A control was used: a box clicked, a button pressed, a field's text edited by the user.
void server_command(int id);
void server_enable();
// Stops the server and closes the window.
void server_window_close();
