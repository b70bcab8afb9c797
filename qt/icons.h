// The pictures of the windows, drawn rather than loaded, so that no image file is needed.
#pragma once

#include <QIcon>
#include <QPixmap>

QPixmap server_enabled_pixmap(int size);
QPixmap server_disabled_pixmap(int size);
QIcon server_program_icon();
QIcon client_program_icon();
