#include "platform/process.h"

#include "service_hooks.h"
#include "standard_streams.h"
#include "text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

int process_start(const std::vector<std::string>& argv, process_id* started) {
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
    PROCESS_INFORMATION process{};
    BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                             CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                             &startup, &process);
    int error = ok ? 0 : errno_of(GetLastError());
    CloseHandle(null_in);
    CloseHandle(null_out);
    if (!ok) return error;
    CloseHandle(process.hThread);
    *started = reinterpret_cast<process_id>(process.hProcess);
    return 0;
}

void process_wait(process_id started) {
    auto process = reinterpret_cast<HANDLE>(started);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
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

void process_use_console() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    bool output_leads_somewhere =
        out && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN;
    // The console it was started from, for Ctrl-C and closing, even when the output goes to a
    // file; a console of its own only to write to, since one started by another program with its
    // output taken would flash a console window up.
    if (AttachConsole(ATTACH_PARENT_PROCESS) || (!output_leads_somewhere && AllocConsole()))
        SetConsoleOutputCP(CP_UTF8);
    if (output_leads_somewhere) return;
    int console = _wopen(L"CONOUT$", _O_WRONLY | _O_TEXT);
    if (console >= 0) standard_streams_to(console);
}

void process_end_now(int status) {
    service_report_ended(status);
    // Not ExitProcess, which still runs the libraries' detach code and this thread's own
    // destructors while the workers it stops may hold what those touch.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    std::_Exit(status);
}
