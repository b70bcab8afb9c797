#include "platform/process.h"

#include "service_hooks.h"
#include "text.h"

#include <cerrno>
#include <cstdlib>
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

int process_start_detached(const std::vector<std::string>& argv) {
    if (argv.empty()) return ENOENT;
    std::wstring line;
    for (const std::string& a : argv)
        line += (line.empty() ? L"" : L" ") + quoted_argument(widen(a));
    // Its standard streams read and write NUL; nothing else of this process is inherited.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE null_in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    HANDLE null_out = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = null_in;
    startup.hStdOutput = startup.hStdError = null_out;
    PROCESS_INFORMATION started{};
    BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                             CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                             &startup, &started);
    int error = ok ? 0 : errno_of(GetLastError());
    CloseHandle(null_in);
    CloseHandle(null_out);
    if (!ok) return error;
    // Nothing waits for it: Windows reaps it.
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return 0;
}

void process_use_utf8(int* argc, char*** argv) {
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return;
    // Kept for the life of the process, as argv is.
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    for (int i = 0; i < count; ++i)
        texts.push_back(narrow(wide[i]));
    LocalFree(wide);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    *argc = count;
    *argv = pointers.data();
}

void process_end_now(int status) {
    service_report_ended(status);
    std::_Exit(status);
}
