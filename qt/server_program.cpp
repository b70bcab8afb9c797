// The server's window module: pellsd without arguments runs this.
#include "diag/role.h"
#include "server/server_role.h"
#include "server/server_window.h"
#include "server_window_qt.h"
#include "window_program.h"

extern "C" int pellory_window_main(int argc, char** argv) {
    QApplication app(argc, argv);
    role_install(&server_role);
    qt_main_window* window = server_window_create();
    qt_backend_install(window, {server_command, server_window_close});
    window->show();
    server_window_open();
    window_program_leave(app);
}
