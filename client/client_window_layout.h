// The client window "TFTPC", described once for every backend that draws it.
#pragma once

#include "ui/window_layout.h"

window_layout client_window_layout();
