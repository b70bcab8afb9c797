// A window's layout made into the in-memory template that Windows' dialog manager creates:
// dialog units follow the font and the screen's DPI, and the dialog manager gives Tab,
// mnemonics, Enter and Escape their Windows meaning. The layout's order is the order of Tab.
#pragma once

#include "ui/window_layout.h"

#include <windows.h>

#include <vector>

// The template, for CreateDialogIndirectParamW.
std::vector<WORD> dialog_template(const window_layout& layout);
// The icon resource an icon's name stands for in the programs' resources; 0 for none.
WORD icon_resource(const std::string& name);
