// Renders each window in a typical state to PNG files on the offscreen platform, for the
// README: pell-screenshots OUTPUT_FOLDER. Run it with its own XDG_CONFIG_HOME.
#include "client/client_role.h"
#include "client/client_window.h"
#include "client_window_qt.h"
#include "diag/role.h"
#include "screenshots/scene.h"
#include "server/server_role.h"
#include "server/server_window.h"
#include "server_window_qt.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

void save(QWidget* widget, const QString& path) {
    widget->adjustSize();
    QApplication::processEvents();
    if (!widget->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pell-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString out = QString::fromLocal8Bit(argv[1]) + "/";
    // A box left open would hold the run forever: any that appears is dismissed.
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "dismissed: %s\n", qPrintable(box->text()));
            box->reject();
        }
    });
    dismiss.start(100);
    scene_store_settings((QDir::tempPath() + "/tftp").toStdString(), "/home/me/firmware.bin");

    role_install(&server_role);
    qt_main_window* server = server_window_create();
    qt_backend_install(server, {server_command, server_window_close});
    server->show();
    server_window_open();
    scene_server_serving();
    QApplication::processEvents();
    save(server, out + "server-window.png");
    auto* access = server->findChild<QDialog*>("TFTPIPS");
    scene_access_lists();
    access->show();
    save(access, out + "access-dialog.png");
    access->hide();
    scene_server_stopped();

    role_install(&client_role);
    qt_main_window* client = client_window_create();
    qt_backend_install(client, {client_command, [] { client_window_close(); }});
    client->show();
    client_window_open();
    scene_client_finished();
    save(client, out + "client-window.png");
    QThread::msleep(100);
    std::quick_exit(0);
}
