// The server window "TFTPS" and its access dialog "TFTPIPS", described once for every backend
// that draws them.
#pragma once

#include "ui/window_layout.h"

window_layout server_window_layout();
window_layout access_dialog_layout();
