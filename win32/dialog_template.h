// A window described as a table of controls in dialog units, made into the in-memory template
// that Windows' dialog manager creates: dialog units follow the font and the screen's DPI, and
// the dialog manager gives Tab, mnemonics, Enter and Escape their Windows meaning. The table's
// order is the order of Tab.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct win32_control {
    const wchar_t* window_class; // "Button", "Edit", ... or a common control's class
    DWORD style;                 // beyond WS_CHILD | WS_VISIBLE
    int id;                      // -1 for labels, frames and pictures
    const char* text;
    short x, y, cx, cy;
    DWORD ex_style = 0;
    WORD icon = 0; // a picture's icon resource
};

struct win32_dialog {
    const wchar_t* window_class; // registered by the backend, so that the window has its name
    int icon;                    // its icon resource
    const char* title;
    short cx, cy;
    std::vector<win32_control> controls;
};

// The template, for CreateDialogIndirectParamW.
std::vector<WORD> dialog_template(const win32_dialog& dialog);

// The kinds of control the windows are made of.
win32_control label(const char* text, short x, short y, short cx, short cy = 8);
win32_control frame(const char* text, short x, short y, short cx, short cy);
win32_control check_box(int id, const char* text, short x, short y, short cx);
win32_control choice(int id, const char* text, short x, short y, short cx);
win32_control push_button(int id, const char* text, short x, short y, short cx = 50);
// The narrow "..." button beside a field that opens a chooser.
win32_control chooser_button(int id, short x, short y, DWORD style = 0);
// A field: its text in the table is its cue, which it shows grey while empty.
win32_control field(int id, short x, short y, short cx, DWORD style = 0, const char* cue = "");
win32_control text_area(int id, short x, short y, short cx, short cy);
win32_control drop_down(int id, short x, short y, short cx);
// A text the program writes: "&" is shown, not taken as a mnemonic. The alignment is a static
// control's type (SS_RIGHT...).
win32_control sentence(int id, const char* text, short x, short y, short cx,
                       DWORD alignment = SS_LEFTNOWORDWRAP);
win32_control status_line(int id, const char* text, short x, short y, short cx);
win32_control picture(int id, WORD icon, short x, short y);
// A list view: its text names the columns, separated by tabs.
win32_control table(int id, const char* columns, short x, short y, short cx, short cy);
win32_control progress_bar(int id, short x, short y, short cx, short cy);
