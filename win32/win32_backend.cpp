#include "win32_backend.h"

#include "common_dialogs.h"
#include "platform/windows/text.h"
#include "ui/ui.h"

#include <commctrl.h>
#include <objbase.h>
#include <windowsx.h>

#include <atomic>
#include <functional>
#include <map>

namespace {

// lParam: a std::function<void()>* to run and delete; for a waited call, with its event.
constexpr UINT call_message = WM_APP + 1;
constexpr UINT waited_call_message = WM_APP + 2;

struct waited_call {
    std::function<void()> run;
    HANDLE done;
};

std::atomic<HWND> main_window{nullptr};
DWORD window_thread = 0;
win32_handlers handlers{};
std::map<int, HWND> controls;
std::map<int, HWND> dialogs;
std::map<int, HICON> pictures;             // each picture's icon now, destroyed when replaced
int icon_size = 32;                        // as large as the screen's DPI makes 32 pixels
std::map<HWND, HWND> pending_focus; // a hidden dialog's control to focus once it shows
bool quiet = false;                 // a text the program sets is not the user's edit

enum class kind { button, edit, label, combo, table, bar, other };

kind kind_of(HWND control) {
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    const std::pair<const wchar_t*, kind> kinds[] = {
        {L"Button", kind::button},  {L"Edit", kind::edit},       {L"Static", kind::label},
        {L"ComboBox", kind::combo}, {WC_LISTVIEWW, kind::table}, {PROGRESS_CLASSW, kind::bar}};
    for (auto [class_name, k] : kinds)
        if (lstrcmpiW(name, class_name) == 0) return k;
    return kind::other;
}

bool on_window_thread() { return GetCurrentThreadId() == window_thread; }

// Runs f on the window thread without waiting: a worker never stalls on the window.
void on_window(std::function<void()> f) {
    if (on_window_thread()) return f();
    auto* call = new std::function<void()>(std::move(f));
    if (!PostMessageW(main_window, call_message, 0, reinterpret_cast<LPARAM>(call))) delete call;
}

// Runs f on the window thread and waits for it; posted like the calls before it, so that it
// sees what they did.
void on_window_and_wait(std::function<void()> f) {
    if (on_window_thread()) return f();
    waited_call call{std::move(f), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    if (PostMessageW(main_window, waited_call_message, 0, reinterpret_cast<LPARAM>(&call)))
        WaitForSingleObject(call.done, INFINITE);
    CloseHandle(call.done);
}

HWND control(int id) {
    auto found = controls.find(id);
    return found == controls.end() ? nullptr : found->second;
}

// The window the user works in now: a dialog running modally, or the main window.
HWND active_window() {
    for (auto [id, dialog] : dialogs)
        if (IsWindowVisible(dialog)) return dialog;
    return main_window;
}

std::wstring window_text(HWND w) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(w, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Edit controls break lines with CR LF; the logic with LF.
std::wstring replaced(std::wstring text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

void w_set_text(int id, const std::string& text) {
    on_window([id, text] {
        HWND w = control(id);
        if (auto picture = pictures.find(id); picture != pictures.end()) {
            HICON icon = static_cast<HICON>(
                LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(icon_resource(text)),
                           IMAGE_ICON, icon_size, icon_size, LR_DEFAULTCOLOR));
            SendMessageW(w, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
            if (picture->second) DestroyIcon(picture->second);
            picture->second = icon;
            return;
        }
        quiet = true;
        SetWindowTextW(w, replaced(widen(text), L"\n", L"\r\n").c_str());
        quiet = false;
        if (kind_of(w) == kind::bar) InvalidateRect(w, nullptr, TRUE);
    });
}

std::string w_get_text(int id) {
    std::wstring text;
    on_window_and_wait([id, &text] {
        if (HWND w = control(id)) text = replaced(window_text(w), L"\r\n", L"\n");
    });
    return narrow(text);
}

void w_set_checked(int id, bool on) {
    on_window([id, on] { Button_SetCheck(control(id), on ? BST_CHECKED : BST_UNCHECKED); });
}

bool w_is_checked(int id) {
    bool on = false;
    on_window_and_wait([id, &on] { on = Button_GetCheck(control(id)) == BST_CHECKED; });
    return on;
}

void w_enable(int id, bool on) {
    on_window([id, on] { EnableWindow(control(id), on); });
}

bool w_is_enabled(int id) {
    bool on = false;
    on_window_and_wait([id, &on] { on = IsWindowEnabled(control(id)); });
    return on;
}

void w_focus(int id) {
    on_window([id] {
        HWND w = control(id), dialog = GetParent(w);
        if (!IsWindowVisible(dialog))
            pending_focus[dialog] = w;
        else
            SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(w), TRUE);
    });
}

void w_select_all(int id) {
    on_window([id] { Edit_SetSel(control(id), 0, -1); });
}

void fill_table(HWND table, const std::vector<std::string>& rows) {
    ListView_DeleteAllItems(table);
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        std::wstring cells = widen(rows[static_cast<size_t>(row)]) + L'\t';
        int column = 0;
        for (size_t start = 0, tab; (tab = cells.find(L'\t', start)) != std::wstring::npos;
             start = tab + 1, ++column) {
            std::wstring cell = cells.substr(start, tab - start);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = column;
            item.pszText = cell.data();
            if (column == 0)
                ListView_InsertItem(table, &item);
            else
                ListView_SetItem(table, &item);
        }
    }
    // Every cell and every heading reads in full.
    HWND header = ListView_GetHeader(table);
    for (int column = 0; column < Header_GetItemCount(header); ++column) {
        wchar_t name[32] = {};
        HDITEMW heading{};
        heading.mask = HDI_TEXT;
        heading.pszText = name;
        heading.cchTextMax = 32;
        Header_GetItem(header, column, &heading);
        ListView_SetColumnWidth(table, column, LVSCW_AUTOSIZE);
        int wanted = ListView_GetStringWidth(table, name) + 2 * GetSystemMetrics(SM_CXEDGE) + 12;
        if (ListView_GetColumnWidth(table, column) < wanted)
            ListView_SetColumnWidth(table, column, wanted);
    }
}

void w_list_fill(int id, const std::vector<std::string>& entries) {
    on_window([id, entries] {
        HWND w = control(id);
        if (kind_of(w) == kind::table) return fill_table(w, entries);
        ComboBox_ResetContent(w);
        for (const std::string& entry : entries)
            ComboBox_AddString(w, widen(entry).c_str());
        ComboBox_SetCurSel(w, -1);
    });
}

void w_list_select(int id, int index) {
    on_window([id, index] { ComboBox_SetCurSel(control(id), index); });
}

int w_list_selection(int id) {
    int index = -1;
    on_window_and_wait([id, &index] { index = ComboBox_GetCurSel(control(id)); });
    return index < 0 ? -1 : index;
}

std::string w_list_entry(int id, int index) {
    std::wstring text;
    on_window_and_wait([id, index, &text] {
        HWND w = control(id);
        int length = ComboBox_GetLBTextLen(w, index);
        if (length < 0) return;
        text.resize(static_cast<size_t>(length) + 1);
        text.resize(static_cast<size_t>(ComboBox_GetLBText(w, index, text.data())));
    });
    return narrow(text);
}

// Asked for by a worker, the box blocks that worker only: the window thread shows it.
ui_answer w_message_box(const std::string& text, const std::string& title, ui_icon icon,
                        ui_buttons buttons) {
    ui_answer answer = ui_answer::cancel;
    on_window_and_wait(
        [&] { answer = win32_message_box(active_window(), text, title, icon, buttons); });
    return answer;
}

bool w_choose_file(const ui_file_chooser& chooser, std::string* path) {
    bool chosen = false;
    on_window_and_wait([&] { chosen = win32_choose_file(active_window(), chooser, path); });
    return chosen;
}

bool w_choose_folder(const std::string& title, std::string* path) {
    bool chosen = false;
    on_window_and_wait([&] { chosen = win32_choose_folder(active_window(), title, path); });
    return chosen;
}

// One message of the window thread; false once the program quits. Tab, mnemonics, Enter and
// Escape go to dialog.
bool pump_one(HWND dialog) {
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) return false;
    if (!IsDialogMessageW(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void w_run_dialog(int dialog_id) {
    on_window_and_wait([dialog_id] {
        HWND dialog = dialogs[dialog_id];
        // Modal as DialogBox makes it: the owner waits, disabled, until the dialog ends.
        EnableWindow(main_window, FALSE);
        ShowWindow(dialog, SW_SHOW);
        if (auto focus = pending_focus.find(dialog); focus != pending_focus.end()) {
            SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus->second), TRUE);
            pending_focus.erase(focus);
        }
        while (IsWindowVisible(dialog))
            if (!pump_one(dialog)) {
                PostQuitMessage(0); // for the main loop, which ends the program
                break;
            }
    });
}

void end_dialog(HWND dialog) {
    // The owner comes back before the dialog goes, so that it takes the activation.
    EnableWindow(main_window, TRUE);
    ShowWindow(dialog, SW_HIDE);
}

void w_end_dialog(int dialog_id) {
    on_window([dialog_id] { end_dialog(dialogs[dialog_id]); });
}

void w_beep() { MessageBeep(MB_OK); }

void w_close() {
    on_window([] {
        for (auto [id, dialog] : dialogs)
            DestroyWindow(dialog);
        DestroyWindow(main_window.exchange(nullptr));
        PostQuitMessage(0);
    });
}

void w_set_progress(int id, int permille) {
    on_window([id, permille] {
        HWND bar = control(id);
        // Marquee: work under way whose share is unknown.
        LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
        SetWindowLongPtrW(bar, GWL_STYLE,
                          permille < 0 ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
        SendMessageW(bar, PBM_SETMARQUEE, permille < 0, 0);
        SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
        SendMessageW(bar, PBM_SETPOS, permille < 0 ? 0 : permille, 0);
    });
}

const ui_backend win32 = {
    w_set_text,       w_get_text,   w_set_checked, w_is_checked,  w_enable,
    w_is_enabled,     w_focus,      w_select_all,  w_list_fill,   w_list_select,
    w_list_selection, w_list_entry, w_message_box, w_choose_file, w_choose_folder,
    w_run_dialog,     w_end_dialog, w_beep,        w_close,       w_set_progress,
};

// The user's edit of a one-line field; a list of lines is read when its dialog ends.
bool users_edit(HWND field) {
    return !quiet && kind_of(field) == kind::edit &&
           !(GetWindowLongW(field, GWL_STYLE) & ES_MULTILINE);
}

INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case call_message: {
        auto* call = reinterpret_cast<std::function<void()>*>(lparam);
        (*call)();
        delete call;
        return TRUE;
    }
    case waited_call_message: {
        auto* call = reinterpret_cast<waited_call*>(lparam);
        call->run();
        SetEvent(call->done);
        return TRUE;
    }
    case WM_COMMAND: {
        HWND from = reinterpret_cast<HWND>(lparam);
        int code = HIWORD(wparam);
        if (!from) {
            // Enter presses no button (none is the default); Escape ends a dialog as Cancel
            // would, and does nothing in the main window, which only the program closes.
            if (LOWORD(wparam) == IDCANCEL && dialog != main_window) end_dialog(dialog);
        } else if ((code == BN_CLICKED && kind_of(from) == kind::button) ||
                   (code == EN_CHANGE && users_edit(from))) {
            handlers.command(LOWORD(wparam));
        }
        return TRUE;
    }
    case WM_CLOSE:
        if (dialog == main_window)
            handlers.close();
        else
            end_dialog(dialog);
        return TRUE;
    }
    return FALSE;
}

// The text of the progress bar (bytes and share) over the bar.
LRESULT CALLBACK bar_with_text(HWND bar, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                               DWORD_PTR) {
    LRESULT result = DefSubclassProc(bar, message, wparam, lparam);
    if (message == WM_PAINT) {
        std::wstring text = window_text(bar);
        HDC dc = GetDC(bar);
        RECT area;
        GetClientRect(bar, &area);
        SetBkMode(dc, TRANSPARENT);
        HGDIOBJ font =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(bar, WM_GETFONT, 0, 0)));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, font);
        ReleaseDC(bar, dc);
    }
    return result;
}

// A list view's columns come from its text, separated by tabs.
void add_columns(HWND table) {
    ListView_SetExtendedListViewStyle(table, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    std::wstring names = window_text(table) + L'\t';
    int column = 0;
    for (size_t start = 0, tab; (tab = names.find(L'\t', start)) != std::wstring::npos;
         start = tab + 1) {
        std::wstring name = names.substr(start, tab - start);
        LVCOLUMNW header{};
        header.mask = LVCF_TEXT | LVCF_WIDTH;
        header.pszText = name.data();
        header.cx = 60;
        ListView_InsertColumn(table, column++, &header);
    }
}

BOOL CALLBACK bind_control(HWND w, LPARAM) {
    int id = GetDlgCtrlID(w);
    if (id > 0) controls[id] = w; // labels and frames have none of their own
    if (id > 0 && (GetWindowLongW(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) pictures[id] = nullptr;
    if (kind_of(w) == kind::edit && GetWindowTextLengthW(w) > 0) {
        Edit_SetCueBannerText(w, window_text(w).c_str());
        quiet = true;
        SetWindowTextW(w, L"");
        quiet = false;
    }
    if (kind_of(w) == kind::table) add_columns(w);
    if (kind_of(w) == kind::bar) {
        SetWindowSubclass(w, bar_with_text, 0, 0);
        SendMessageW(w, PBM_SETRANGE32, 0, 1000);
    }
    return TRUE;
}

// A window class of the dialog manager's, under the window's own name, with its icon.
void register_class(const wchar_t* name, int icon) {
    WNDCLASSEXW dialog_class{};
    dialog_class.cbSize = sizeof dialog_class;
    GetClassInfoExW(nullptr, WC_DIALOG, &dialog_class);
    dialog_class.hInstance = GetModuleHandleW(nullptr);
    dialog_class.lpszClassName = name;
    dialog_class.hIcon = LoadIconW(dialog_class.hInstance, MAKEINTRESOURCEW(icon));
    RegisterClassExW(&dialog_class);
}

HWND create(const window_layout& dialog, HWND owner) {
    const std::wstring name = widen(dialog.name);
    register_class(name.c_str(), icon_resource(dialog.icon));
    std::vector<WORD> words = dialog_template(dialog);
    HWND w = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                        reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner,
                                        dialog_procedure, 0);
    if (w) EnumChildWindows(w, bind_control, 0);
    return w;
}

} // namespace

HWND win32_backend_install(const window_layout& window, const std::vector<win32_modal>& modals,
                           win32_handlers h) {
    window_thread = GetCurrentThreadId();
    handlers = h;
    // The folder chooser is a shell object.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    HWND w = create(window, nullptr);
    if (!w) return nullptr;
    main_window = w;
    for (const win32_modal& modal : modals)
        dialogs[modal.dialog_id] = create(modal.dialog, w);
    icon_size = MulDiv(32, static_cast<int>(GetDpiForWindow(w)), 96);
    ui_install(&win32);
    return w;
}

void win32_backend_run(void (*opened)()) {
    ShowWindow(main_window, SW_SHOWNORMAL);
    opened();
    while (pump_one(main_window)) {
    }
}
