// The client window "TFTPC": its opening defaults.
#pragma once

void client_window_open();
