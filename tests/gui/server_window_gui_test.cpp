// The server window "TFTPS" as a user sees it: its widgets wired to the logic, Escape, and the
// access dialog.
#include "diag/role.h"
#include "engine_fixture.h"
#include "gui_support.h"
#include "platform/folders.h"
#include "platform/socket.h"
#include "qt/icons.h"
#include "qt/server_window_qt.h"
#include "server/daemon.h"
#include "server/listeners.h"
#include "server/server_controls.h"
#include "server/server_role.h"
#include "server/server_window.h"
#include "server/server_run.h"
#include "server/settings.h"
#include "settings_store.h"
#include "udp_peer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace tftps_controls;

namespace {

class server_gui : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        listen_port_override = free_udp_port();
    }
    void TearDown() override {
        server_disable();
        EXPECT_TRUE(QTest::qWaitFor([] { return daemon_running == 0; }, 5000));
        listen_port_override = 0;
        delete window;
        engine_test::TearDown();
    }
    void open() {
        role_install(&server_role);
        window = server_window_create();
        qt_backend_install(window, {server_command, server_window_close});
        window->show();
        server_window_open();
    }
    static void store(std::initializer_list<std::pair<const char*, std::string>> values) {
        store_settings(server_settings_key, values);
    }
    bool checked(int id) { return control<QCheckBox>(window, id)->isChecked(); }
    QString text(int id) {
        if (auto* line = control<QLineEdit>(window, id)) return line->text();
        if (auto* label = control<QLabel>(window, id)) return label->text();
        return control<QPushButton>(window, id)->text();
    }
    QImage icon() { return control<QLabel>(window, IDC_STATUS_ICON)->pixmap().toImage(); }

    box_answerer boxes;
    qt_main_window* window = nullptr;
};

// The window's wiring, once: the first start's defaults in the widgets, a typed field and the
// boxes reaching the logic, Save and Reset, and Enable and Disable with the icon, the sentence
// and the button. The logic behind each is tested through the recording backend.
TEST_F(server_gui, shows_the_logic_and_its_controls_reach_it) {
    open();
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].title, "Configuration advice");
    EXPECT_EQ(window->windowTitle(), "PelloryTFTP server v1.0");
    EXPECT_TRUE(checked(IDC_RESTRICT_UPLOAD));
    EXPECT_EQ(text(IDC_UPLOAD_ROOT).toStdString(), current_folder());
    EXPECT_FALSE(control<QLineEdit>(window, IDC_COMMAND)->isEnabled());
    EXPECT_EQ(icon(), icon_named(ICON_DISABLED).pixmap(32, 32).toImage());

    auto* root = control<QLineEdit>(window, IDC_DOWNLOAD_ROOT);
    root->clear();
    QTest::keyClicks(root, QString::fromStdString(folder.path()));
    click(window, IDC_ALLOW_DOWNLOAD);
    control<QComboBox>(window, IDC_TIMEOUT)->setCurrentText("30");
    auto* transfers = control<QLineEdit>(window, IDC_MAX_TRANSFERS);
    transfers->clear();
    QTest::keyClicks(transfers, "40");
    EXPECT_EQ(settings_now()->MaxTransfers, 40);
    click(window, IDC_SAVE);
    EXPECT_EQ(boxes.seen().back().title, "Saved options");
    click(window, IDC_ALLOW_DOWNLOAD);
    control<QComboBox>(window, IDC_TIMEOUT)->setCurrentText("7");
    boxes.push(QMessageBox::Yes);
    click(window, IDC_RESET);
    EXPECT_TRUE(checked(IDC_ALLOW_DOWNLOAD));
    EXPECT_EQ(control<QComboBox>(window, IDC_TIMEOUT)->currentText(), "30");
    EXPECT_EQ(text(IDC_DOWNLOAD_ROOT).toStdString(), folder.path());

    click(window, IDC_ENABLE);
    EXPECT_EQ(text(IDC_ENABLE), "Disable s&erver");
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return text(IDC_STATUS_SENTENCE) == "The Trivial FTP server is currently enabled."; },
        5000));
    EXPECT_EQ(icon(), icon_named(ICON_ENABLED).pixmap(32, 32).toImage());
    click(window, IDC_ENABLE);
    EXPECT_EQ(icon(), icon_named(ICON_DISABLED).pixmap(32, 32).toImage());
    EXPECT_EQ(text(IDC_ENABLE), "&Enable server");
}

TEST_F(server_gui, lists_a_finished_transfer_under_recent_transfers) {
    store({{"AllowDownload", "Yes"}, {"RestrictDownload", "Yes"}, {"RestrictDownloadPath", folder.path()}});
    write_file(folder.file("boot.cfg"), "cfg");
    open();
    click(window, IDC_ENABLE);
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return wait_readable(daemon_listening_event(), -1, 0) == 1; }, 5000));
    udp_peer client;
    client.send_to(listen_port_override, tftp_request(1, "boot.cfg", "octet"));
    auto block = client.receive(5000);
    ASSERT_TRUE(block);
    client.send_to(block->from_port, tftp_packet(4, 1));
    auto* list = control<QTreeWidget>(window, IDC_RECENT_TRANSFERS);
    auto row = [&] {
        QStringList cells;
        for (int column : {1, 2, 3, 4, 6})
            cells << (list->topLevelItemCount() ? list->topLevelItem(0)->text(column) : "");
        return cells.join('|').toStdString();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return row() == "127.0.0.1|boot.cfg|download|3|completed"; },
                                5000))
        << row();
    EXPECT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(text(IDC_BUSY_ANSWERS), "0 requests answered busy");
}

TEST_F(server_gui, escape_closes_nothing_and_the_server_stays_enabled) {
    open();
    click(window, IDC_ENABLE);
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ServerEnabled, 1);
    EXPECT_EQ(text(IDC_ENABLE), "Disable s&erver");
}

TEST_F(server_gui, the_access_dialog_refuses_a_bad_mask_and_cancel_keeps_the_old_lists) {
    store({{"ServiceIP", "Yes"}, {"ServiceIPW", "10.0.0.*"}});
    open();
    auto* dialog = window->findChild<QDialog*>("TFTPIPS");
    auto* masks = control<QPlainTextEdit>(dialog, IDC_CLIENT_MASKS);
    bool refused_and_still_open = false;
    when([&] { return dialog->isVisible(); },
         [&] {
             EXPECT_EQ(dialog->windowTitle(), "Serviceable clients");
             EXPECT_EQ(masks->toPlainText(), "10.0.0.*");
             masks->setPlainText("10.*1.0.0");
             click(dialog, IDC_ACCESS_OK); // its message box is answered inside this click
             refused_and_still_open = dialog->isVisible();
             click(dialog, IDC_ACCESS_CANCEL);
         });
    click(window, IDC_ACCESS_LISTS);
    EXPECT_TRUE(refused_and_still_open);
    ASSERT_FALSE(boxes.seen().empty());
    EXPECT_EQ(boxes.seen().back().text, "10.*1.0.0 is not a valid IP mask address.");
    EXPECT_EQ(settings_now()->ServiceIPW, "10.0.0.*");
}

} // namespace
