#include "window_builder.h"

#include "icons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <cmath>

namespace {

constexpr int icon_pixels = 32;

// A button as the windows' buttons are: Enter in a field does not press it.
QPushButton* button(const char* text) {
    auto* b = new QPushButton(text);
    b->setAutoDefault(false);
    return b;
}

QWidget* widget_of(const window_control& c) {
    switch (c.kind) {
    case control_kind::label:
        return new QLabel(c.text);
    case control_kind::frame:
        return new QGroupBox(c.text);
    case control_kind::check_box:
        return new QCheckBox(c.text);
    case control_kind::choice: {
        // The window's logic makes each pair of choices exclusive itself.
        auto* choice = new QRadioButton(c.text);
        choice->setAutoExclusive(false);
        return choice;
    }
    case control_kind::push_button:
    case control_kind::chooser_button:
        return button(c.text);
    case control_kind::field: {
        auto* field = new QLineEdit;
        field->setPlaceholderText(c.text);
        return field;
    }
    case control_kind::text_area: {
        auto* area = new QPlainTextEdit;
        area->setTabChangesFocus(true);
        return area;
    }
    case control_kind::drop_down:
        return new QComboBox;
    case control_kind::sentence: {
        auto* sentence = new QLabel(c.text);
        sentence->setTextFormat(Qt::PlainText);
        if (c.right) sentence->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return sentence;
    }
    case control_kind::status_line: {
        auto* line = new QLabel(c.text);
        line->setTextFormat(Qt::PlainText);
        line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return line;
    }
    case control_kind::picture: {
        auto* picture = new QLabel;
        picture->setPixmap(icon_named(c.text).pixmap(icon_pixels, icon_pixels));
        return picture;
    }
    case control_kind::table: {
        auto* table = new QTreeWidget;
        table->setHeaderLabels(QString(c.text).split('\t'));
        table->setRootIsDecorated(false);
        table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        table->setUniformRowHeights(true);
        return table;
    }
    case control_kind::progress_bar: {
        auto* bar = new QProgressBar;
        bar->setRange(0, 1000);
        bar->setValue(0);
        bar->setTextVisible(true);
        bar->setFormat("");
        return bar;
    }
    }
    return new QLabel;
}

// Fills the window with its controls, in the layout's order, which is Tab's.
void build(const window_layout& layout, QDialog* window) {
    window->setObjectName(layout.name);
    window->setWindowTitle(layout.title);
    window->setWindowIcon(icon_named(layout.icon));
    // Dialog units, as Windows reckons them from the font.
    const QFontMetricsF metrics(window->font());
    const double across =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52 / 4;
    const double down = metrics.height() / 8;
    auto px = [](double units, double unit) { return static_cast<int>(std::lround(units * unit)); };
    window->setFixedSize(px(layout.cx, across), px(layout.cy, down));
    for (const window_control& c : layout.controls) {
        QWidget* w = widget_of(c);
        w->setParent(window);
        w->setGeometry(px(c.x, across), px(c.y, down), px(c.cx, across), px(c.cy, down));
        w->setEnabled(!c.disabled);
        if (c.id < 0) continue;
        if (c.kind == control_kind::picture)
            qt_bind_picture(c.id, static_cast<QLabel*>(w));
        else
            qt_bind(c.id, w);
    }
}

} // namespace

qt_main_window* qt_window_build(const window_layout& layout) {
    auto* window = new qt_main_window;
    build(layout, window);
    return window;
}

QDialog* qt_dialog_build(const window_layout& layout, QWidget* owner, int dialog_id) {
    auto* dialog = new QDialog(owner);
    build(layout, dialog);
    qt_bind_dialog(dialog_id, dialog);
    return dialog;
}
