#include "programs.h"

#include "client/client_role.h"
#include "client/client_window.h"
#include "client_window_qt.h"
#include "diag/role.h"
#include "server/server_role.h"
#include "server/server_window.h"
#include "server_window_qt.h"

#include <QApplication>
#include <cstdlib>

namespace {

// Both close sequences end by closing the window; workers still running must not see the
// statics destroyed under them.
[[noreturn]] int leave(QApplication& app) {
    app.exec();
    std::quick_exit(0);
}

} // namespace

int qt_server_main(int argc, char** argv) {
    QApplication app(argc, argv);
    role_install(&server_role);
    qt_main_window* window = server_window_create();
    qt_backend_install(window, {server_command, server_window_close});
    window->show();
    server_window_open();
    leave(app);
}

int qt_client_main(int argc, char** argv) {
    QApplication app(argc, argv);
    role_install(&client_role);
    qt_main_window* window = client_window_create();
    qt_backend_install(window, {client_command, [] { client_window_close(); }});
    window->show();
    client_window_open();
    leave(app);
}
