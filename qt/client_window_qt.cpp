#include "client_window_qt.h"

#include "client/client_controls.h"
#include "icons.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace tftpc_controls;

namespace {

// The window's logic makes each pair of choices exclusive itself.
QRadioButton* choice(int id, const char* text) {
    auto* button = bound(id, new QRadioButton(text));
    button->setAutoExclusive(false);
    return button;
}

} // namespace

qt_main_window* client_window_create() {
    auto* window = new qt_main_window;
    window->setObjectName("TFTPC");
    window->setWindowTitle("PelloryTFTP client v" PELL_VERSION);
    window->setWindowIcon(client_program_icon());
    auto* layout = new QVBoxLayout(window);

    auto* server_row = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(client_program_icon().pixmap(32, 32));
    server_row->addWidget(icon);
    server_row->addWidget(new QLabel("TFTP server"));
    server_row->addWidget(bound(IDC_HOST, new QLineEdit), 1);
    layout->addLayout(server_row);

    auto* operation = new QGroupBox("Operation");
    auto* grid = new QGridLayout(operation);
    grid->addWidget(new QLabel("Action"), 0, 0);
    auto* actions = new QHBoxLayout;
    actions->addWidget(choice(IDC_UPLOAD, "Upload"));
    actions->addWidget(choice(IDC_DOWNLOAD, "Download"));
    actions->addStretch();
    grid->addLayout(actions, 0, 1, 1, 2);
    grid->addWidget(new QLabel("Remote file"), 1, 0);
    grid->addWidget(bound(IDC_REMOTE_FILE, new QLineEdit), 1, 1, 1, 2);
    grid->addWidget(new QLabel("Local file"), 2, 0);
    auto* local = bound(IDC_LOCAL_FILE, new QLineEdit);
    local->setMinimumWidth(300);
    grid->addWidget(local, 2, 1);
    grid->addWidget(chooser_button(IDC_LOCAL_FILE_CHOOSER), 2, 2);
    grid->addWidget(new QLabel("Transfer mode"), 3, 0);
    auto* modes = new QHBoxLayout;
    modes->addWidget(choice(IDC_ASCII, "ASCII"));
    modes->addWidget(choice(IDC_BINARY, "Binary"));
    modes->addStretch();
    grid->addLayout(modes, 3, 1, 1, 2);
    layout->addWidget(operation);

    auto* connection = new QGroupBox("Connection options");
    auto* options = new QGridLayout(connection);
    options->addWidget(bound(IDC_LOG_TRACES, new QCheckBox("Log traces to file")), 0, 0);
    options->addWidget(bound(IDC_TRACE_FILE, new QLineEdit), 0, 1);
    options->addWidget(chooser_button(IDC_TRACE_FILE_CHOOSER), 0, 2);
    auto* timeout_row = new QHBoxLayout;
    timeout_row->addWidget(new QLabel("Packet timeout"));
    timeout_row->addWidget(bound(IDC_PACKET_TIMEOUT, new QComboBox));
    timeout_row->addWidget(new QLabel("seconds"));
    timeout_row->addStretch();
    timeout_row->addWidget(new QLabel("IP version"));
    timeout_row->addWidget(bound(IDC_IP_VERSION, new QComboBox));
    options->addLayout(timeout_row, 1, 0, 1, 3);
    auto* extensions_row = new QHBoxLayout;
    extensions_row->addWidget(bound(IDC_EXTENSIONS, new QCheckBox("TFTP extensions: blocks of")));
    extensions_row->addWidget(number_field(IDC_BLOCK_SIZE));
    extensions_row->addWidget(new QLabel("bytes, window of"));
    extensions_row->addWidget(number_field(IDC_WINDOW_SIZE));
    extensions_row->addWidget(new QLabel("blocks"));
    extensions_row->addStretch();
    options->addLayout(extensions_row, 2, 0, 1, 3);
    layout->addWidget(connection);

    auto* progress_row = new QHBoxLayout;
    auto* bar = bound(IDC_PROGRESS, new QProgressBar);
    bar->setRange(0, 1000);
    bar->setValue(0);
    bar->setTextVisible(true);
    bar->setFormat("");
    progress_row->addWidget(bar, 1);
    auto* rate = bound(IDC_RATE, new QLabel);
    rate->setMinimumWidth(80);
    rate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progress_row->addWidget(rate);
    layout->addLayout(progress_row);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (auto [id, text] :
         {std::pair{IDC_START, "&Start"}, {IDC_STOP, "S&top"}, {IDC_CLOSE, "&Close"}}) {
        buttons->addWidget(push_button(id, text));
    }
    layout->addLayout(buttons);

    auto* status_line = bound(IDC_STATUS, new QLabel("PelloryTFTP client started."));
    status_line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    layout->addWidget(status_line);
    return window;
}
