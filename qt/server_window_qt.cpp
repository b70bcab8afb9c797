#include "server_window_qt.h"

#include "server/server_controls.h"
#include "server/server_window_layout.h"
#include "window_builder.h"

qt_main_window* server_window_create() {
    qt_main_window* window = qt_window_build(server_window_layout());
    qt_dialog_build(access_dialog_layout(), window, tftps_controls::IDD_ACCESS_LISTS);
    return window;
}
