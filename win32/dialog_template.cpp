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
    void name(const window_control& c) {
        if (c.kind == control_kind::picture) {
            word(0xFFFF);
            word(icon_resource(c.text));
        } else {
            text(widen(c.text));
        }
    }
    void align() {
        if (words.size() % 2) word(0);
    }
};

// A control as Windows' dialog manager makes it: its class, its styles and its height where the
// layout's is not Windows' own.
struct native {
    const wchar_t* window_class;
    DWORD style, ex_style;
    short cy;
};

native native_of(const window_control& c) {
    const DWORD tab = WS_TABSTOP, sunken = WS_EX_CLIENTEDGE;
    switch (c.kind) {
    case control_kind::label:
        return {L"Static", SS_LEFT, 0, c.cy};
    case control_kind::frame:
        return {L"Button", BS_GROUPBOX, 0, c.cy};
    case control_kind::check_box:
        return {L"Button", BS_AUTOCHECKBOX | tab, 0, c.cy};
    case control_kind::choice: // the window's logic makes each pair exclusive itself
        return {L"Button", BS_RADIOBUTTON | tab, 0, c.cy};
    case control_kind::push_button:
    case control_kind::chooser_button:
        return {L"Button", BS_PUSHBUTTON | tab, 0, c.cy};
    case control_kind::field:
        return {L"Edit", ES_AUTOHSCROLL | tab, sunken, c.cy};
    case control_kind::text_area:
        return {L"Edit", ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | tab, sunken,
                c.cy};
    case control_kind::drop_down: // its height includes the open list
        return {L"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | tab, 0, 120};
    case control_kind::sentence:
        return {L"Static", DWORD(c.right ? SS_RIGHT : SS_LEFTNOWORDWRAP) | SS_NOPREFIX, 0, c.cy};
    case control_kind::status_line:
        return {L"Static", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_SUNKEN | SS_CENTERIMAGE, 0, c.cy};
    case control_kind::picture:
        return {L"Static", SS_ICON | SS_REALSIZECONTROL, 0, c.cy};
    case control_kind::table:
        return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | tab, sunken, c.cy};
    case control_kind::progress_bar:
        return {PROGRESS_CLASSW, 0, 0, c.cy};
    }
    return {L"Static", 0, 0, c.cy};
}

} // namespace

WORD icon_resource(const std::string& name) {
    // The numbers of the programs' resources (packaging/windows): each program's own first.
    for (auto [icon, resource] : {std::pair{"server", 1}, {"disabled", 2}, {"enabled", 3},
                                  {"client", 4}})
        if (name == icon) return static_cast<WORD>(resource);
    return 0;
}

std::vector<WORD> dialog_template(const window_layout& dialog) {
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
    w.text(widen(dialog.name));
    w.text(widen(dialog.title));
    w.word(9);   // points
    w.word(400); // weight
    w.word(0);   // not italic, the default character set
    w.text(L"Segoe UI");
    for (const window_control& c : dialog.controls) {
        const native n = native_of(c);
        w.align();
        w.dword(0);
        w.dword(n.ex_style);
        w.dword(WS_CHILD | WS_VISIBLE | n.style | (c.disabled ? WS_DISABLED : 0));
        for (short v : {c.x, c.y, c.cx, n.cy})
            w.word(static_cast<WORD>(v));
        w.dword(static_cast<DWORD>(c.id));
        w.text(n.window_class);
        w.name(c);
        w.word(0); // no creation data
    }
    return w.words;
}

