// A window described once, for every backend that draws it with controls of its own (Qt on Linux,
// Windows' own controls): its controls in the order of the layout and of Tab, each with its kind,
// identifier, text and place in dialog units, which each backend scales to its font as Windows'
// dialog manager does (a quarter of the font's average character width across, an eighth of its
// height down).
#pragma once

#include <string>
#include <vector>

enum class control_kind {
    label,          // a text of the window's own
    frame,          // a group's frame, with its title
    check_box,      // a switch
    choice,         // one of a pair of choices, which the window's logic makes exclusive
    push_button,    // "&" marks the key that presses it with Alt
    chooser_button, // the narrow "..." button beside a field, that opens a chooser
    field,          // one line of text; its text is its cue, shown grey while it is empty
    text_area,      // several lines of text
    drop_down,      // a list to choose one entry from
    sentence,       // a text the program writes, where "&" is shown as it is
    status_line,    // the window's status line
    picture,        // an icon: its text names it
    table,          // rows of cells; its text names the columns, separated by tabs
    progress_bar,
};

struct window_control {
    control_kind kind;
    int id; // -1 for labels, frames and pictures the logic never touches
    const char* text;
    short x, y, cx, cy;
    bool disabled = false; // it starts disabled
    bool right = false;    // a sentence aligned right
};

struct window_layout {
    const char* name;  // the window's name ("TFTPS")
    const char* title; // its title bar
    const char* icon;  // the program's icon, by name ("server", "client")
    short cx, cy;
    std::vector<window_control> controls;
};

// The kinds of control, placed: heights are each kind's own unless it has none.
window_control label(const char* text, short x, short y, short cx, short cy = 8);
window_control frame(const char* text, short x, short y, short cx, short cy);
window_control check_box(int id, const char* text, short x, short y, short cx);
window_control choice(int id, const char* text, short x, short y, short cx);
window_control push_button(int id, const char* text, short x, short y, short cx = 50);
window_control chooser_button(int id, short x, short y, bool disabled = false);
window_control field(int id, short x, short y, short cx, bool disabled = false,
                     const char* cue = "");
window_control text_area(int id, short x, short y, short cx, short cy);
window_control drop_down(int id, short x, short y, short cx);
window_control sentence(int id, const char* text, short x, short y, short cx, bool right = false);
window_control status_line(int id, const char* text, short x, short y, short cx);
window_control picture(int id, const char* icon, short x, short y);
window_control table(int id, const char* columns, short x, short y, short cx, short cy);
window_control progress_bar(int id, short x, short y, short cx, short cy);
