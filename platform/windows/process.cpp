#include "platform/process.h"

#include "text.h"

#include <cerrno>
#include <cstdlib>
#include <windows.h>

namespace {

// One argument as CommandLineToArgvW reads it back: quoted, with the backslashes before a quote
// doubled, so that a path with blanks stays one argument.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

} // namespace

int process_start_detached(const std::vector<std::string>& argv) {
    if (argv.empty()) return ENOENT;
    std::wstring line;
    for (const std::string& a : argv)
        line += (line.empty() ? L"" : L" ") + quoted(widen(a));
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

void process_end_now(int status) { std::_Exit(status); }
