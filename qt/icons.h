// The pictures of the windows, drawn rather than loaded, so that no image file is needed.
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon server_program_icon();
QIcon client_program_icon();
// The icon a window's layout names: "server", "client", and the server's states "enabled" and
// "disabled".
QIcon icon_named(const QString& name);
