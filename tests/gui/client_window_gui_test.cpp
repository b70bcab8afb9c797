// The client window "TFTPC" as a user sees it: its settings kept from one start to the next,
// the question before closing during a transfer, and a whole download from pellsd.
#include "child_process.h"
#include "client/client_controls.h"
#include "client/client_role.h"
#include "client/client_window.h"
#include "client/session.h"
#include "diag/role.h"
#include "engine_fixture.h"
#include "gui_support.h"
#include "qt/client_window_qt.h"
#include "server_process.h"
#include "udp_peer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>

using namespace tftpc_controls;

namespace {

class client_gui : public engine_test {
  protected:
    void TearDown() override {
        if (session_running) client_stop();
        EXPECT_TRUE(QTest::qWaitFor([] { return session_running == 0; }, 10000));
        delete window;
        engine_test::TearDown();
    }
    void open() {
        delete window;
        role_install(&client_role);
        window = client_window_create();
        qt_backend_install(window, {client_command, [] { client_window_close(); }});
        window->show();
        client_window_open();
    }
    QLineEdit* field(int id) { return control<QLineEdit>(window, id); }
    void type(int id, const QString& text) {
        field(id)->clear();
        QTest::keyClicks(field(id), text);
    }
    QString status() { return control<QLabel>(window, IDC_STATUS)->text(); }

    box_answerer boxes;
    qt_main_window* window = nullptr;
};

// The window's wiring, once: typed fields and boxes reach the logic and come back at the next
// start, and both ways of closing ask during a transfer. The logic behind each is tested through
// the recording backend.
TEST_F(client_gui, its_widgets_reach_the_logic_and_close_asks_during_a_transfer) {
    open();
    EXPECT_EQ(window->windowTitle(), "PelloryTFTP client v1.0");
    EXPECT_EQ(status(), "PelloryTFTP client started.");
    type(IDC_HOST, "tftp.lab");
    click(window, IDC_UPLOAD);
    type(IDC_REMOTE_FILE, "startup.cfg");
    type(IDC_LOCAL_FILE, QString::fromStdString(folder.file("startup.cfg")));
    click(window, IDC_ASCII);
    click(window, IDC_LOG_TRACES);
    type(IDC_TRACE_FILE, QString::fromStdString(folder.file("client.log")));
    control<QComboBox>(window, IDC_PACKET_TIMEOUT)->setCurrentText("9");
    click(window, IDC_CLOSE);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 3000));
    EXPECT_TRUE(boxes.seen().empty()); // idle: no question

    open();
    EXPECT_EQ(field(IDC_HOST)->text(), "tftp.lab");
    EXPECT_TRUE(control<QRadioButton>(window, IDC_UPLOAD)->isChecked());
    EXPECT_EQ(field(IDC_REMOTE_FILE)->text(), "startup.cfg");
    EXPECT_TRUE(control<QRadioButton>(window, IDC_ASCII)->isChecked());
    EXPECT_TRUE(field(IDC_TRACE_FILE)->isEnabled());
    EXPECT_EQ(control<QComboBox>(window, IDC_PACKET_TIMEOUT)->currentText(), "9");

    udp_peer silent;
    type(IDC_HOST, "127.0.0.1:" + QString::number(silent.port()));
    click(window, IDC_DOWNLOAD);
    type(IDC_LOCAL_FILE, QString::fromStdString(folder.file("a.bin")));
    click(window, IDC_START);
    ASSERT_TRUE(QTest::qWaitFor([] { return transfer_active == 1; }, 5000));
    EXPECT_FALSE(control<QAbstractButton>(window, IDC_START)->isEnabled());
    boxes.push(QMessageBox::No);
    click(window, IDC_CLOSE);
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].title, "Exiting...");
    EXPECT_TRUE(window->isVisible());
    boxes.push(QMessageBox::Yes);
    window->close(); // the title bar's close asks the same question
    EXPECT_EQ(boxes.seen().size(), 2u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 3000));
    EXPECT_EQ(session_running, 0);
}

TEST_F(client_gui, escape_closes_nothing) {
    open();
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(client_gui, downloads_from_pellsd_when_start_is_pressed) {
    server_process server({"--allow-download"});
    write_file(server.root() + "/firmware.bin", pattern_bytes(70000, 3));
    open();
    type(IDC_HOST, "127.0.0.1:" + QString::number(server.port()));
    type(IDC_REMOTE_FILE, "firmware.bin");
    type(IDC_LOCAL_FILE, QString::fromStdString(folder.file("firmware.bin")));
    click(window, IDC_START);
    QRegularExpression summary(R"(^70000 bytes received in \d+\.\d seconds\.$)");
    EXPECT_TRUE(QTest::qWaitFor([&] { return summary.match(status()).hasMatch(); }, 20000))
        << status().toStdString();
    EXPECT_TRUE(read_file(folder.file("firmware.bin")) == pattern_bytes(70000, 3));
    EXPECT_TRUE(control<QAbstractButton>(window, IDC_START)->isEnabled());
    // The size was not told: the bar moved without a share, and is full at the end.
    auto* bar = control<QProgressBar>(window, IDC_PROGRESS);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() == 1000; }, 3000)) << bar->value();
    EXPECT_EQ(bar->maximum(), 1000);
    EXPECT_EQ(bar->text(), "70,000 bytes");
    EXPECT_TRUE(QRegularExpression(R"(^\d+(\.\d)? [kM]?B/s$)")
                    .match(control<QLabel>(window, IDC_RATE)->text())
                    .hasMatch())
        << control<QLabel>(window, IDC_RATE)->text().toStdString();
}

// Started without arguments, each program loads its window's module and runs its window.
TEST(window_modules, each_program_runs_its_window_from_its_module) {
    for (auto [program, module] :
         {std::pair{PELLSD_PATH, "pellsd-window.so"}, std::pair{PELLCL_PATH, "pellcl-window.so"}}) {
        temp_folder_owner folder;
        child_process window(program, {}, folder.path(), folder.path());
        std::string maps = "/proc/" + std::to_string(window.pid()) + "/maps";
        EXPECT_TRUE(
            wait_until([&] { return read_file(maps).find(module) != std::string::npos; }, 10000))
            << module << window.err();
        EXPECT_TRUE(window.running()) << window.err();
    }
}

} // namespace
