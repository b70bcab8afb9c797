// The windows of the two programs as Windows draws them: their controls in the order of the
// layout and of Tab, in dialog units.
#pragma once

#include "dialog_template.h"

// The icon resources of the programs: the server's own icon is also the first of pellsd.exe, the
// client's the first of pellcl.exe, which Explorer shows.
enum : int { icon_server = 1, icon_server_disabled = 2, icon_server_enabled = 3, icon_client = 4 };

win32_dialog server_window_table();
win32_dialog access_dialog_table();
win32_dialog client_window_table();
