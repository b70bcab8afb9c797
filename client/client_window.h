// The client window "TFTPC": its opening, its commands and its close sequence.
#pragma once

// The window opens: defaults, then the stored settings.
void client_window_open();
// A control was used: a button pressed, a choice made, a box clicked.
void client_command(int id);
// Asks first while a transfer runs; then stops it, saves the settings and says goodbye. False
// when the user chose to stay.
bool client_window_close();
