// Small makers of the controls both windows use, each bound to its identifier at birth.
#pragma once

#include "qt_backend.h"

#include <QLineEdit>
#include <QPushButton>

template <typename W>
W* bound(int id, W* widget) {
    qt_bind(id, widget);
    return widget;
}

// A button as the windows' buttons are: Enter in a field does not press it.
inline QPushButton* push_button(int id, const char* text) {
    auto* button = bound(id, new QPushButton(text));
    button->setAutoDefault(false);
    return button;
}

// The narrow "..." button beside a field that opens a chooser.
inline QPushButton* chooser_button(int id) {
    auto* button = push_button(id, "...");
    button->setFixedWidth(32);
    return button;
}

// A short field for a number, disabled until its box is checked.
inline QLineEdit* number_field(int id) {
    auto* field = bound(id, new QLineEdit);
    field->setMaximumWidth(64);
    return field;
}
