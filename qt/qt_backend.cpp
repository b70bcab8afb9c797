#include "qt_backend.h"

#include "icons.h"
#include "ui/ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QThread>
#include <QTreeWidget>
#include <map>
#include <set>
#include <mutex>

namespace {

QPointer<qt_main_window> main_window;
qt_handlers handlers{};
std::map<int, QPointer<QWidget>> controls;
std::set<int> pictures;
std::map<int, QPointer<QDialog>> dialogs;
bool closing = false;

bool on_gui_thread() { return QThread::currentThread() == qApp->thread(); }

// Runs f on the GUI thread and waits for it; from the GUI thread itself it runs at once.
template <typename F>
void on_gui_and_wait(F f) {
    if (on_gui_thread())
        f();
    else
        QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
}

// Runs f on the GUI thread without waiting: a worker never stalls on the window.
template <typename F>
void on_gui(F f) {
    if (on_gui_thread())
        f();
    else
        QMetaObject::invokeMethod(qApp, f, Qt::QueuedConnection);
}

QWidget* control(int id) {
    auto found = controls.find(id);
    return found == controls.end() ? nullptr : found->second.data();
}

void q_set_text(int id, const std::string& text) {
    QString value = QString::fromStdString(text);
    on_gui([id, value] {
        QWidget* w = control(id);
        if (pictures.count(id)) {
            if (auto* label = qobject_cast<QLabel*>(w))
                label->setPixmap(icon_named(value).pixmap(label->pixmap().size()));
            return;
        }
        // A text the program sets is not the user's edit: no command for it.
        QSignalBlocker quiet(w);
        if (auto* line = qobject_cast<QLineEdit*>(w))
            line->setText(value);
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
            plain->setPlainText(value);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            button->setText(value);
        else if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(value);
        else if (auto* bar = qobject_cast<QProgressBar*>(w))
            bar->setFormat(value);
    });
}

std::string q_get_text(int id) {
    QString value;
    on_gui_and_wait([id, &value] {
        QWidget* w = control(id);
        if (auto* line = qobject_cast<QLineEdit*>(w))
            value = line->text();
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
            value = plain->toPlainText();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            value = button->text();
        else if (auto* label = qobject_cast<QLabel*>(w))
            value = label->text();
    });
    return value.toStdString();
}

void q_set_checked(int id, bool on) {
    on_gui([id, on] {
        if (auto* button = qobject_cast<QAbstractButton*>(control(id))) {
            QSignalBlocker quiet(button);
            button->setChecked(on);
        }
    });
}

bool q_is_checked(int id) {
    bool on = false;
    on_gui_and_wait([id, &on] {
        if (auto* button = qobject_cast<QAbstractButton*>(control(id))) on = button->isChecked();
    });
    return on;
}

void q_enable(int id, bool on) {
    on_gui([id, on] {
        if (QWidget* w = control(id)) w->setEnabled(on);
    });
}

bool q_is_enabled(int id) {
    bool on = false;
    on_gui_and_wait([id, &on] {
        if (QWidget* w = control(id)) on = w->isEnabled();
    });
    return on;
}

void q_focus(int id) {
    on_gui([id] {
        if (QWidget* w = control(id)) w->setFocus(Qt::OtherFocusReason);
    });
}

void q_select_all(int id) {
    on_gui([id] {
        if (auto* line = qobject_cast<QLineEdit*>(control(id))) line->selectAll();
    });
}

void q_list_fill(int id, const std::vector<std::string>& entries) {
    QStringList items;
    for (const std::string& e : entries)
        items << QString::fromStdString(e);
    on_gui([id, items] {
        if (auto* list = qobject_cast<QComboBox*>(control(id))) {
            list->clear();
            list->addItems(items);
            list->setCurrentIndex(-1);
        } else if (auto* table = qobject_cast<QTreeWidget*>(control(id))) {
            // Rows of cells separated by tabs.
            // Rows of cells separated by tabs; a cell too long for its column reads in full on
            // its tooltip.
            QList<QTreeWidgetItem*> rows;
            for (const QString& item : items) {
                auto* row = new QTreeWidgetItem(item.split('\t'));
                for (int column = 0; column < row->columnCount(); ++column)
                    row->setToolTip(column, row->text(column));
                rows << row;
            }
            table->clear();
            table->addTopLevelItems(rows);
        }
    });
}

void q_list_select(int id, int index) {
    on_gui([id, index] {
        if (auto* list = qobject_cast<QComboBox*>(control(id))) list->setCurrentIndex(index);
    });
}

int q_list_selection(int id) {
    int index = -1;
    on_gui_and_wait([id, &index] {
        if (auto* list = qobject_cast<QComboBox*>(control(id))) index = list->currentIndex();
    });
    return index;
}

std::string q_list_entry(int id, int index) {
    QString text;
    on_gui_and_wait([id, index, &text] {
        if (auto* list = qobject_cast<QComboBox*>(control(id))) text = list->itemText(index);
    });
    return text.toStdString();
}

ui_answer q_message_box(const std::string& text, const std::string& title, ui_icon icon,
                        ui_buttons buttons) {
    ui_answer answer = ui_answer::ok;
    QString body = QString::fromStdString(text), caption = QString::fromStdString(title);
    // Asked for by a worker, the box blocks that worker only: the GUI thread shows it.
    on_gui_and_wait([&] {
        QMessageBox box(main_window);
        box.setWindowTitle(caption);
        box.setText(body);
        box.setIcon(icon == ui_icon::error      ? QMessageBox::Critical
                    : icon == ui_icon::warning  ? QMessageBox::Warning
                    : icon == ui_icon::question ? QMessageBox::Question
                                                : QMessageBox::Information);
        if (buttons == ui_buttons::ok) {
            box.setStandardButtons(QMessageBox::Ok);
        } else {
            box.setStandardButtons(buttons == ui_buttons::yes_no
                                       ? QMessageBox::Yes | QMessageBox::No
                                       : QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
        }
        switch (box.exec()) {
        case QMessageBox::Yes:
            answer = ui_answer::yes;
            break;
        case QMessageBox::No:
            answer = ui_answer::no;
            break;
        case QMessageBox::Cancel:
            answer = ui_answer::cancel;
            break;
        default:
            answer = buttons == ui_buttons::ok ? ui_answer::ok : ui_answer::cancel;
        }
    });
    return answer;
}

bool q_choose_file(const ui_file_chooser& chooser, std::string* path) {
    bool chosen = false;
    on_gui_and_wait([&] {
        QFileDialog dialog(main_window, QString::fromStdString(chooser.title));
        QStringList filters;
        for (const auto& [label, patterns] : chooser.filters)
            filters << QString::fromStdString(label + " (" + patterns + ")");
        dialog.setNameFilters(filters);
        dialog.setAcceptMode(chooser.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(chooser.must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !chooser.confirm_overwrite);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (chooser.executables_only)
            dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
        if (!chooser.initial.empty()) dialog.selectFile(QString::fromStdString(chooser.initial));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            *path = dialog.selectedFiles().first().toStdString();
            chosen = true;
        }
    });
    return chosen;
}

bool q_choose_folder(const std::string& title, std::string* path) {
    bool chosen = false;
    on_gui_and_wait([&] {
        QString folder = QFileDialog::getExistingDirectory(
            main_window, QString::fromStdString(title), QString(),
            QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        if (!folder.isEmpty()) {
            *path = folder.toStdString();
            chosen = true;
        }
    });
    return chosen;
}

void q_run_dialog(int dialog_id) {
    on_gui_and_wait([dialog_id] {
        if (QDialog* dialog = dialogs[dialog_id]) dialog->exec();
    });
}

void q_end_dialog(int dialog_id) {
    on_gui([dialog_id] {
        if (QDialog* dialog = dialogs[dialog_id]) dialog->done(QDialog::Accepted);
    });
}

void q_beep() {
    on_gui([] { QApplication::beep(); });
}

void q_close() {
    on_gui([] {
        closing = true;
        if (main_window) main_window->done(1);
        QApplication::quit();
    });
}

void q_set_progress(int id, int permille) {
    on_gui([id, permille] {
        if (auto* bar = qobject_cast<QProgressBar*>(control(id))) {
            // A maximum of 0 makes the bar move without a share.
            bar->setRange(0, permille < 0 ? 0 : 1000);
            bar->setValue(permille < 0 ? 0 : permille);
        }
    });
}

const ui_backend widgets = {
    q_set_text,       q_get_text,   q_set_checked, q_is_checked,  q_enable,
    q_is_enabled,     q_focus,      q_select_all,  q_list_fill,   q_list_select,
    q_list_selection, q_list_entry, q_message_box, q_choose_file, q_choose_folder,
    q_run_dialog,     q_end_dialog, q_beep,        q_close,       q_set_progress,
};

} // namespace

void qt_main_window::reject() {
    // Escape: neither window has a command for it, so only the program's own close gets through.
    if (closing) QDialog::reject();
}

void qt_main_window::closeEvent(QCloseEvent* event) {
    if (closing) return QDialog::closeEvent(event);
    event->ignore();
    if (handlers.close) handlers.close();
}

void qt_backend_install(qt_main_window* window, qt_handlers h) {
    main_window = window;
    handlers = h;
    closing = false;
    ui_install(&widgets);
}

void qt_bind(int id, QWidget* widget) {
    controls[id] = widget;
    widget->setObjectName(QString::number(id)); // so that tests and tools find it by identifier
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QObject::connect(button, &QAbstractButton::clicked, [id] { handlers.command(id); });
    else if (auto* line = qobject_cast<QLineEdit*>(widget))
        QObject::connect(line, &QLineEdit::textEdited, [id] { handlers.command(id); });
}

void qt_bind_picture(int id, QLabel* label) {
    controls[id] = label;
    label->setObjectName(QString::number(id));
    pictures.insert(id);
}

void qt_bind_dialog(int dialog_id, QDialog* dialog) { dialogs[dialog_id] = dialog; }
