// Uses the programs' windows from outside, as a user would, for the tests under Wine:
//   window_driver.exe PROGRAM STEP...
// PROGRAM is the file name of the program whose windows the steps use (pellsd.exe): the display
// is shared, and another test's window of the same class is never the one meant. A STEP is one of
//   wait CLASS              a window of that class shows
//   gone CLASS              it no longer shows
//   click CLASS ID          the control is clicked (posted: a click that opens a modal dialog
//                           or a box does not hold the driver)
//   set CLASS ID TEXT       the user types TEXT into the field, replacing its text
//   until CLASS ID TEXT     the control's text comes to hold TEXT
//   answer TITLE            a message box of that title shows; its text is printed, its
//                           default button pressed, and the box is gone
// Every wait is bounded (30 s); the first step that fails ends the run with status 1.
#include "platform/windows/text.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>

namespace {

bool eventually(const std::function<bool()>& done) {
    for (int tick = 0; tick < 300; ++tick) {
        if (done()) return true;
        Sleep(100);
    }
    return false;
}

std::wstring program; // whose windows the steps use

bool of_program(HWND w) {
    DWORD id = 0;
    GetWindowThreadProcessId(w, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return false;
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    bool named = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    const wchar_t* name = wcsrchr(path, L'\\');
    return named && lstrcmpiW(name ? name + 1 : path, program.c_str()) == 0;
}

HWND shown(const wchar_t* window_class, const wchar_t* title = nullptr) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, window_class, title)) != nullptr;)
        if (IsWindowVisible(w) && of_program(w)) return w;
    return nullptr;
}

std::wstring text_of(HWND w) {
    wchar_t text[4096] = {};
    SendMessageW(w, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}

} // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    auto fail = [](const std::wstring& step) {
        std::printf("window_driver: failed: %s\n", narrow(step).c_str());
        return 1;
    };
    if (count < 2) return fail(L"no program named");
    program = args[1];
    for (int i = 2; i < count;) {
        std::wstring verb = args[i++];
        auto next = [&] { return std::wstring(i < count ? args[i++] : L""); };
        std::wstring window_class = verb == L"answer" ? L"#32770" : next();
        if (verb == L"wait" || verb == L"gone") {
            bool want = verb == L"wait";
            if (!eventually([&] { return (shown(window_class.c_str()) != nullptr) == want; }))
                return fail(verb + L" " + window_class);
            continue;
        }
        if (verb == L"answer") {
            std::wstring title = next();
            HWND box = nullptr;
            if (!eventually([&] { return (box = shown(L"#32770", title.c_str())) != nullptr; }))
                return fail(L"answer " + title);
            // A message box's text is its static control 0xFFFF.
            std::printf("%s: %s\n", narrow(title).c_str(),
                        narrow(text_of(GetDlgItem(box, 0xFFFF))).c_str());
            WORD button = LOWORD(SendMessageW(box, DM_GETDEFID, 0, 0));
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(button ? button : IDOK, BN_CLICKED), 0);
            // The window it was modal to takes input again only once it has gone.
            if (!eventually([&] { return !IsWindow(box) || !IsWindowVisible(box); }))
                return fail(L"answer " + title + L": the box stays");
            continue;
        }
        int id = _wtoi(next().c_str());
        HWND window = nullptr, control = nullptr;
        if (!eventually([&] {
                window = shown(window_class.c_str());
                return window && (control = GetDlgItem(window, id)) != nullptr;
            }))
            return fail(verb + L" " + window_class + L" " + std::to_wstring(id));
        if (verb == L"click") {
            PostMessageW(control, BM_CLICK, 0, 0);
        } else if (verb == L"set") {
            std::wstring text = next();
            SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (verb == L"until") {
            std::wstring text = next();
            if (!eventually([&] { return text_of(control).find(text) != std::wstring::npos; }))
                return fail(L"until " + window_class + L" " + std::to_wstring(id) + L" " + text +
                            L" (it reads: " + text_of(control) + L")");
        } else {
            return fail(L"unknown step " + verb);
        }
    }
    LocalFree(args);
    return 0;
}
