// The Qt Widgets backend of the window interface: each identifier is bound to a widget, calls
// from worker threads are carried to the GUI thread, and the user's actions on the widgets
// reach the program's command handler.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPixmap;
class QWidget;

struct qt_handlers {
    void (*command)(int id); // a control was used
    void (*close)();         // the window's own close request (the title bar)
};

// The programs' main window: a dialog whose close request (the title bar) goes to the program's
// close sequence, which closes it through ui_close. Escape does nothing there.
class qt_main_window : public QDialog {
  public:
    using QDialog::QDialog;
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
};

// Installs the backend for window, the program's main window, created on the GUI thread.
void qt_backend_install(qt_main_window* window, qt_handlers handlers);
// Binds a control: buttons and boxes report clicks, line edits the user's edits.
void qt_bind(int id, QWidget* widget);
// Binds a picture: ui_set_text(id, name) shows the icon of that name.
void qt_bind_picture(int id, QLabel* label);
// Binds a dialog that ui_run_dialog(dialog_id) runs modally.
void qt_bind_dialog(int dialog_id, QDialog* dialog);
