#include "client_window_qt.h"

#include "client/client_window_layout.h"
#include "window_builder.h"

qt_main_window* client_window_create() { return qt_window_build(client_window_layout()); }
