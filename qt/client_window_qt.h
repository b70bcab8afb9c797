// The client window "TFTPC" as Qt widgets, every control bound to its identifier.
#pragma once

#include "qt_backend.h"

// Builds the window with its initial states; the caller shows it.
qt_main_window* client_window_create();
