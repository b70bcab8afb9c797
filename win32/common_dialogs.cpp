#include "common_dialogs.h"

#include "platform/windows/text.h"

#include <commdlg.h>
#include <shlobj.h>

ui_answer win32_message_box(HWND owner, const std::string& text, const std::string& title,
                            ui_icon icon, ui_buttons buttons) {
    UINT style = icon == ui_icon::error      ? MB_ICONERROR
                 : icon == ui_icon::warning  ? MB_ICONWARNING
                 : icon == ui_icon::question ? MB_ICONQUESTION
                                             : MB_ICONINFORMATION;
    style |= buttons == ui_buttons::ok       ? MB_OK
             : buttons == ui_buttons::yes_no ? MB_YESNO
                                             : MB_YESNOCANCEL;
    switch (MessageBoxW(owner, widen(text).c_str(), widen(title).c_str(), style)) {
    case IDYES:
        return ui_answer::yes;
    case IDNO:
        return ui_answer::no;
    case IDOK:
        return ui_answer::ok;
    default:
        return ui_answer::cancel;
    }
}

bool win32_choose_file(HWND owner, const ui_file_chooser& chooser, std::string* path) {
    // "Label\0patterns\0...\0\0"; Windows lists programs by their extensions.
    std::wstring filters;
    for (const auto& [label, patterns] : chooser.filters) {
        bool programs = chooser.executables_only && filters.empty();
        filters += widen(label) + L'\0' + (programs ? L"*.exe;*.com;*.bat;*.cmd" : widen(patterns));
        filters += L'\0';
    }
    filters += L'\0';
    std::wstring title = widen(chooser.title), initial = widen(chooser.initial), folder;
    DWORD attributes = GetFileAttributesW(initial.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        folder = initial; // a folder to start in, not a name to propose
        initial.clear();
    }
    wchar_t file[MAX_PATH] = {};
    initial.copy(file, MAX_PATH - 1);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    // The server's folders and the client's start folder stay the process's current folder.
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (chooser.must_exist) dialog.Flags |= OFN_FILEMUSTEXIST;
    if (chooser.save) dialog.Flags |= OFN_NOREADONLYRETURN;
    if (chooser.confirm_overwrite) dialog.Flags |= OFN_OVERWRITEPROMPT;
    if (!(chooser.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return false;
    *path = narrow(file);
    return true;
}

bool win32_choose_folder(HWND owner, const std::string& title, std::string* path) {
    std::wstring caption = widen(title);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = caption.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) return false;
    wchar_t folder[MAX_PATH] = {};
    bool named = SHGetPathFromIDListW(chosen, folder);
    CoTaskMemFree(chosen);
    if (named) *path = narrow(folder);
    return named;
}
