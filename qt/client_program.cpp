// The client's window module: pellcl without arguments runs this.
#include "client/client_role.h"
#include "client/client_window.h"
#include "client_window_qt.h"
#include "diag/role.h"
#include "window_program.h"

extern "C" int pellory_window_main(int argc, char** argv) {
    QApplication app(argc, argv);
    role_install(&client_role);
    qt_main_window* window = client_window_create();
    qt_backend_install(window, {client_command, [] { client_window_close(); }});
    window->show();
    client_window_open();
    window_program_leave(app);
}
