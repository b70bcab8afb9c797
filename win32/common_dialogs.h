// Windows' own message boxes and choosers of files and folders, owned by a window of the program.
#pragma once

#include "ui/ui.h"

#include <windows.h>

#include <string>

ui_answer win32_message_box(HWND owner, const std::string& text, const std::string& title,
                            ui_icon icon, ui_buttons buttons);
bool win32_choose_file(HWND owner, const ui_file_chooser& chooser, std::string* path);
bool win32_choose_folder(HWND owner, const std::string& title, std::string* path);
