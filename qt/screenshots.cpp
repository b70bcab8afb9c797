// Renders each window in a typical state to PNG files on the offscreen platform, for the
// README: pell-screenshots OUTPUT_FOLDER. Run it with its own XDG_CONFIG_HOME.
#include "client/client_controls.h"
#include "client/client_role.h"
#include "client/client_settings.h"
#include "client/client_window.h"
#include "client_window_qt.h"
#include "diag/role.h"
#include "platform/registry.h"
#include "server/daemon.h"
#include "server/server_controls.h"
#include "server/server_role.h"
#include "server/server_window.h"
#include "server/settings.h"
#include "server_window_qt.h"
#include "ui/ui.h"

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

// Stored options, so that the windows open as a configured installation's do.
void store(const char* key, std::initializer_list<std::pair<const char*, const char*>> values) {
    registry_key* k = registry_create_key(key);
    for (auto [name, text] : values)
        registry_set_string(k, name, text);
    registry_close_key(k);
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
    QString root = QDir::tempPath() + "/tftp", uploads = root + "/incoming";
    QDir().mkpath(uploads);
    store(server_settings_key, {{"AllowDownload", "Yes"},
                                {"AllowUpload", "Yes"},
                                {"RestrictUpload", "Yes"},
                                {"RestrictUploadPath", qPrintable(uploads)},
                                {"RestrictDownload", "Yes"},
                                {"RestrictDownloadPath", qPrintable(root)},
                                {"ServiceIP", "Yes"},
                                {"ServiceIPC", "10.0.0.5, 10.0.8.1"},
                                {"ServiceIPR", "10.0.20.1 - 10.0.25.254"},
                                {"ServiceIPW", "192.168.1.*"},
                                {"Timeout", "5"}});
    store(client_settings_key, {{"Hostname", "192.168.1.20"},
                                {"RemoteFile", "firmware.bin"},
                                {"LocalFile", "/home/me/firmware.bin"},
                                {"Timeout", "5"}});

    role_install(&server_role);
    qt_main_window* server = server_window_create();
    qt_backend_install(server, {server_command, server_window_close});
    listen_port_override = 16969;
    server->show();
    server_window_open();
    server_enable();
    ui_list_fill(tftps_controls::IDC_RECENT_TRANSFERS,
                 {"09:41:07\t10.0.20.31\tphone-31.cfg\tdownload\t18432\t0.1\trunning, 62%",
                  "09:41:06\t10.0.20.30\tphone-30.cfg\tdownload\t29696\t0.2\tcompleted",
                  "09:40:52\t10.0.0.5\tstartup-config\tupload\t4127\t0.1\tcompleted",
                  "09:40:13\t192.168.1.77\tboot.img\tdownload\t0\t0.0\trefused: File not found."});
    ui_set_text(tftps_controls::IDC_BUSY_ANSWERS, "2 requests answered busy");
    ui_set_text(tftps_controls::IDC_STATUS, "Listening on 0.0.0.0:16969, [::]:16969.");
    QApplication::processEvents();
    save(server, out + "server-window.png");
    auto* access = server->findChild<QDialog*>("TFTPIPS");
    ui_set_text(tftps_controls::IDC_INDIVIDUAL_CLIENTS, ServiceIPC.get());
    ui_set_text(tftps_controls::IDC_CLIENT_RANGES, ServiceIPR.get());
    ui_set_text(tftps_controls::IDC_CLIENT_MASKS, ServiceIPW.get());
    access->show();
    save(access, out + "access-dialog.png");
    access->hide();
    server_disable();

    role_install(&client_role);
    qt_main_window* client = client_window_create();
    qt_backend_install(client, {client_command, [] { client_window_close(); }});
    client->show();
    client_window_open();
    ui_set_progress(tftpc_controls::IDC_PROGRESS, 1000);
    ui_set_text(tftpc_controls::IDC_PROGRESS, "1048576 of 1048576 bytes, 100%");
    ui_set_text(tftpc_controls::IDC_RATE, "3.4 MB/s");
    ui_set_text(tftpc_controls::IDC_STATUS, "1048576 bytes received in 0.3 seconds.");
    save(client, out + "client-window.png");
    QThread::msleep(100);
    std::quick_exit(0);
}
