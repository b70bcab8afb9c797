#include "dialog_template.h"

#include "platform/windows/text.h"

#include <commctrl.h>

namespace {

class writer {
  public:
    std::vector<WORD> words;
    void word(WORD w) { words.push_back(w); }
    void dword(DWORD d) {
        word(LOWORD(d));
        word(HIWORD(d));
    }
    void text(const std::wstring& s) {
        for (wchar_t c : s)
            word(static_cast<WORD>(c));
        word(0);
    }
    // A control's text, or the number of its picture's resource.
    void name(const win32_control& c) {
        if (c.icon) {
            word(0xFFFF);
            word(c.icon);
        } else {
            text(widen(c.text));
        }
    }
    void align() {
        if (words.size() % 2) word(0);
    }
};

} // namespace

std::vector<WORD> dialog_template(const win32_dialog& dialog) {
    writer w;
    w.word(1);      // DLGTEMPLATEEX
    w.word(0xFFFF); // its signature
    w.dword(0);     // help
    w.dword(WS_EX_CONTROLPARENT);
    w.dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT | DS_CENTER);
    w.word(static_cast<WORD>(dialog.controls.size()));
    for (short v : {short(0), short(0), dialog.cx, dialog.cy})
        w.word(static_cast<WORD>(v));
    w.word(0); // no menu
    w.text(dialog.window_class);
    w.text(widen(dialog.title));
    w.word(9);   // points
    w.word(400); // weight
    w.word(0);   // not italic, the default character set
    w.text(L"Segoe UI");
    for (const win32_control& c : dialog.controls) {
        w.align();
        w.dword(0);
        w.dword(c.ex_style);
        w.dword(WS_CHILD | WS_VISIBLE | c.style);
        for (short v : {c.x, c.y, c.cx, c.cy})
            w.word(static_cast<WORD>(v));
        w.dword(static_cast<DWORD>(c.id));
        w.text(c.window_class);
        w.name(c);
        w.word(0); // no creation data
    }
    return w.words;
}

win32_control label(const char* text, short x, short y, short cx, short cy) {
    return {L"Static", SS_LEFT, -1, text, x, y, cx, cy};
}
win32_control frame(const char* text, short x, short y, short cx, short cy) {
    return {L"Button", BS_GROUPBOX, -1, text, x, y, cx, cy};
}
win32_control check_box(int id, const char* text, short x, short y, short cx) {
    return {L"Button", BS_AUTOCHECKBOX | WS_TABSTOP, id, text, x, y, cx, 10};
}
// The window's logic makes each pair of choices exclusive itself.
win32_control choice(int id, const char* text, short x, short y, short cx) {
    return {L"Button", BS_RADIOBUTTON | WS_TABSTOP, id, text, x, y, cx, 10};
}
win32_control push_button(int id, const char* text, short x, short y, short cx) {
    return {L"Button", BS_PUSHBUTTON | WS_TABSTOP, id, text, x, y, cx, 14};
}
win32_control chooser_button(int id, short x, short y, DWORD style) {
    return {L"Button", BS_PUSHBUTTON | WS_TABSTOP | style, id, "...", x, y, 18, 14};
}
win32_control field(int id, short x, short y, short cx, DWORD style, const char* cue) {
    return {L"Edit", ES_AUTOHSCROLL | WS_TABSTOP | style, id, cue, x, y, cx, 13, WS_EX_CLIENTEDGE};
}
win32_control text_area(int id, short x, short y, short cx, short cy) {
    DWORD style = ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP;
    return {L"Edit", style, id, "", x, y, cx, cy, WS_EX_CLIENTEDGE};
}
win32_control drop_down(int id, short x, short y, short cx) {
    // The height includes the open list.
    return {L"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, id, "", x, y, cx, 120};
}
win32_control sentence(int id, const char* text, short x, short y, short cx, DWORD alignment) {
    return {L"Static", alignment | SS_NOPREFIX, id, text, x, y, cx, 8};
}
win32_control status_line(int id, const char* text, short x, short y, short cx) {
    DWORD style = SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_SUNKEN | SS_CENTERIMAGE;
    return {L"Static", style, id, text, x, y, cx, 12};
}
win32_control picture(int id, WORD icon, short x, short y) {
    return {L"Static", SS_ICON | SS_REALSIZECONTROL, id, "", x, y, 20, 20, 0, icon};
}
win32_control table(int id, const char* columns, short x, short y, short cx, short cy) {
    DWORD style = LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | WS_TABSTOP;
    return {WC_LISTVIEWW, style, id, columns, x, y, cx, cy, WS_EX_CLIENTEDGE};
}
win32_control progress_bar(int id, short x, short y, short cx, short cy) {
    return {PROGRESS_CLASSW, 0, id, "", x, y, cx, cy};
}
