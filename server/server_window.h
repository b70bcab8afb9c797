// The server window "TFTPS": its opening, the enabled and disabled states and the close sequence.
#pragma once

void server_window_open();
void server_enable();
void server_disable();
// Disables the server, lets the workers end, closes every file and says goodbye.
void server_window_close();
