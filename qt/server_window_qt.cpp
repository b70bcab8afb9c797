#include "server_window_qt.h"

#include "icons.h"
#include "server/server_controls.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace tftps_controls;

namespace {

// A chooser that waits for its box to be checked.
QPushButton* idle_chooser(int id) {
    auto* button = chooser_button(id);
    button->setEnabled(false);
    return button;
}

QLineEdit* path_field(int id) {
    auto* field = bound(id, new QLineEdit);
    field->setEnabled(false);
    field->setMinimumWidth(260);
    return field;
}

QPlainTextEdit* list_field(int id) {
    auto* field = bound(id, new QPlainTextEdit);
    field->setTabChangesFocus(true);
    field->setFixedHeight(54);
    return field;
}

QDialog* access_dialog_create(QWidget* owner) {
    auto* dialog = new QDialog(owner);
    dialog->setObjectName("TFTPIPS");
    dialog->setWindowTitle("Serviceable clients");
    auto* layout = new QGridLayout(dialog);
    auto* intro = new QLabel("Enter addresses of clients which are allowed to use this server.\n"
                             "Separate entries with commas.");
    layout->addWidget(intro, 0, 0, 1, 2);
    const struct {
        int id;
        const char* label;
    } fields[] = {
        {IDC_INDIVIDUAL_CLIENTS, "Individual clients\n(IPv4 or IPv6 addresses, or FQDNs)"},
        {IDC_CLIENT_RANGES,
         "IP address ranges\n(like 10.0.20.1 - 10.0.25.254\nor 2001:db8::1 - 2001:db8::ff)"},
        {IDC_CLIENT_MASKS, "IP address masks\n(like 10.0.20.*, 10.0.20.0/24\nor 2001:db8::/48)"},
    };
    int row = 1;
    for (const auto& f : fields) {
        layout->addWidget(new QLabel(f.label), row, 0, Qt::AlignTop);
        layout->addWidget(list_field(f.id), row++, 1);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(push_button(IDC_ACCESS_OK, "OK"));
    buttons->addWidget(push_button(IDC_ACCESS_CANCEL, "Cancel"));
    layout->addLayout(buttons, row, 0, 1, 2);
    qt_bind_dialog(IDD_ACCESS_LISTS, dialog);
    return dialog;
}

} // namespace

qt_main_window* server_window_create() {
    auto* window = new qt_main_window;
    window->setObjectName("TFTPS");
    window->setWindowTitle("PelloryTFTP server v" PELL_VERSION);
    window->setWindowIcon(server_program_icon());
    auto* layout = new QVBoxLayout(window);

    auto* status_box = new QGroupBox("Status");
    auto* status_row = new QHBoxLayout(status_box);
    auto* icon = new QLabel;
    qt_bind_icon(IDC_STATUS_ICON, icon, ICON_ENABLED, server_enabled_pixmap(32));
    qt_bind_icon(IDC_STATUS_ICON, icon, ICON_DISABLED, server_disabled_pixmap(32));
    icon->setPixmap(server_disabled_pixmap(32));
    status_row->addWidget(icon);
    status_row->addWidget(
        bound(IDC_STATUS_SENTENCE, new QLabel("The Trivial FTP server is currently disabled.")), 1);
    layout->addWidget(status_box);

    auto* options = new QGroupBox("Options");
    auto* grid = new QGridLayout(options);
    grid->addWidget(bound(IDC_ALLOW_UPLOAD, new QCheckBox("Allow uploads")), 0, 0);
    grid->addWidget(bound(IDC_ALLOW_DOWNLOAD, new QCheckBox("Allow downloads")), 0, 1);
    grid->addWidget(bound(IDC_NO_OVERWRITE, new QCheckBox("Do not overwrite existing files")), 1, 0,
                    1, 2);
    grid->addWidget(bound(IDC_SERVICE_ONLY, new QCheckBox("Service only clients")), 2, 0);
    grid->addWidget(idle_chooser(IDC_ACCESS_LISTS), 2, 2);
    grid->addWidget(bound(IDC_RESTRICT_UPLOAD, new QCheckBox("Restrict uploads to folder")), 3, 0);
    grid->addWidget(path_field(IDC_UPLOAD_ROOT), 3, 1);
    grid->addWidget(idle_chooser(IDC_UPLOAD_ROOT_CHOOSER), 3, 2);
    grid->addWidget(bound(IDC_RESTRICT_DOWNLOAD, new QCheckBox("Restrict downloads to folder")), 4,
                    0);
    grid->addWidget(path_field(IDC_DOWNLOAD_ROOT), 4, 1);
    grid->addWidget(idle_chooser(IDC_DOWNLOAD_ROOT_CHOOSER), 4, 2);
    grid->addWidget(bound(IDC_RUN_EXTERNAL, new QCheckBox("Launch after every upload")), 5, 0);
    grid->addWidget(path_field(IDC_COMMAND), 5, 1);
    grid->addWidget(idle_chooser(IDC_COMMAND_CHOOSER), 5, 2);
    auto* commands_row = new QHBoxLayout;
    commands_row->addWidget(new QLabel("at most"));
    auto* commands = number_field(IDC_MAX_COMMANDS);
    commands->setEnabled(false);
    commands_row->addWidget(commands);
    commands_row->addWidget(new QLabel("at once, further ones wait their turn"));
    commands_row->addStretch();
    grid->addLayout(commands_row, 6, 1, 1, 2);
    auto* timeout_row = new QHBoxLayout;
    timeout_row->addWidget(new QLabel("Timeout"));
    timeout_row->addWidget(bound(IDC_TIMEOUT, new QComboBox));
    timeout_row->addWidget(new QLabel("second(s)"));
    timeout_row->addStretch();
    timeout_row->addWidget(new QLabel("New files' mask"));
    auto* mask = number_field(IDC_UMASK);
    mask->setPlaceholderText("022");
    timeout_row->addWidget(mask);
    grid->addLayout(timeout_row, 7, 0);
    grid->addWidget(bound(IDC_TRACE, new QCheckBox("Log all activity to file")), 7, 1,
                    Qt::AlignRight);
    grid->addWidget(idle_chooser(IDC_TRACE_CHOOSER), 7, 2);
    grid->addWidget(bound(IDC_EXTENSIONS,
                          new QCheckBox("TFTP extensions (block size, window, files over 32 MiB)")),
                    8, 0, 1, 2);
    auto* limits = new QHBoxLayout;
    limits->addWidget(new QLabel("Largest block"));
    limits->addWidget(number_field(IDC_MAX_BLOCK_SIZE));
    limits->addWidget(new QLabel("bytes, window"));
    limits->addWidget(number_field(IDC_MAX_WINDOW_SIZE));
    limits->addWidget(new QLabel("blocks"));
    limits->addStretch();
    grid->addLayout(limits, 9, 0, 1, 3);
    layout->addWidget(options);

    auto* network = new QGroupBox("Network");
    auto* network_grid = new QGridLayout(network);
    network_grid->addWidget(new QLabel("Listen on"), 0, 0);
    auto* addresses = bound(IDC_LISTEN_ADDRESSES, new QLineEdit);
    addresses->setPlaceholderText("every address");
    network_grid->addWidget(addresses, 0, 1);
    auto* families = bound(IDC_LISTEN_FAMILY, new QComboBox);
    // Filled later, so sized for its longest entry now.
    families->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    families->setMinimumContentsLength(14);
    network_grid->addWidget(families, 0, 2);
    network_grid->addWidget(new QLabel("Port"), 1, 0);
    auto* port_row = new QHBoxLayout;
    port_row->addWidget(number_field(IDC_PORT));
    port_row->addWidget(new QLabel("transfers from"));
    auto* ports = bound(IDC_PORT_RANGE, new QLineEdit);
    ports->setPlaceholderText("any port, or a range such as 50000:50099");
    port_row->addWidget(ports, 1);
    network_grid->addLayout(port_row, 1, 1, 1, 2);
    network_grid->addWidget(new QLabel("Simultaneous transfers"), 2, 0);
    auto* transfer_limits = new QHBoxLayout;
    transfer_limits->addWidget(number_field(IDC_MAX_TRANSFERS));
    transfer_limits->addWidget(new QLabel("at most"));
    transfer_limits->addWidget(number_field(IDC_MAX_PER_CLIENT));
    transfer_limits->addWidget(new QLabel("per client"));
    transfer_limits->addStretch();
    network_grid->addLayout(transfer_limits, 2, 1);
    layout->addWidget(network);

    auto* recent = new QGroupBox("Recent transfers");
    auto* recent_layout = new QVBoxLayout(recent);
    auto* table = bound(IDC_RECENT_TRANSFERS, new QTreeWidget);
    table->setHeaderLabels({"Time", "Client", "File", "Direction", "Bytes", "Seconds", "Result"});
    table->setRootIsDecorated(false);
    table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setUniformRowHeights(true);
    table->setMinimumHeight(120);
    recent_layout->addWidget(table);
    recent_layout->addWidget(bound(IDC_BUSY_ANSWERS, new QLabel("0 requests answered busy")));
    layout->addWidget(recent);

    auto* buttons = new QHBoxLayout;
    for (auto [id, text] : {std::pair{IDC_ENABLE, "&Enable server"},
                            {IDC_SAVE, "&Save options"},
                            {IDC_RESET, "&Reset options"},
                            {IDC_CLOSE, "&Close"}}) {
        buttons->addWidget(push_button(id, text));
    }
    layout->addLayout(buttons);

    auto* status_line = bound(IDC_STATUS, new QLabel("PelloryTFTP server v1.0.1"));
    status_line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_line->setMinimumWidth(420);
    layout->addWidget(status_line);
    access_dialog_create(window);
    return window;
}
