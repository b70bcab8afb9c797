#include "platform/service.h"

#include "service_hooks.h"
#include "standard_streams.h"
#include "text.h"

#include <accctrl.h>
#include <aclapi.h>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <memory>
#include <sys/stat.h>
#include <windows.h>

namespace {

// The account a service runs as: no rights beyond those of a user, no network credentials.
constexpr const wchar_t* service_account = L"NT AUTHORITY\\LocalService";

SERVICE_STATUS_HANDLE status_handle = nullptr;

struct body_call {
    std::wstring name;
    int (*body)(int, char**);
    int argc;
    char** argv;
    int status = 0;
} call;

void report(DWORD state, int exit_status = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exit_status != 0 ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exit_status);
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? 10000 : 0;
    SetServiceStatus(status_handle, &status);
}

DWORD WINAPI on_control(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        report(SERVICE_STOP_PENDING);
        signals_ask_stop();
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI service_main(DWORD, LPWSTR*) {
    status_handle = RegisterServiceCtrlHandlerExW(call.name.c_str(), on_control, nullptr);
    if (!status_handle) return;
    report(SERVICE_RUNNING);
    // A body that returns has ended before serving (its settings refused, its port taken); one
    // that serves ends the process itself, which reports through service_report_ended.
    call.status = call.body(call.argc, call.argv);
    service_report_ended(call.status);
}

struct handle_closer {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using service_handle = std::unique_ptr<SC_HANDLE__, handle_closer>;

std::string last_error_text(const char* what) {
    wchar_t* text = nullptr;
    DWORD error = GetLastError();
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = text ? narrow(text) : "error " + std::to_string(error);
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    if (error == ERROR_ACCESS_DENIED) reason += " (run it from an administrator's console)";
    return std::string(what) + ": " + reason;
}

service_handle open_manager() {
    return service_handle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

} // namespace

void service_report_ended(int status) {
    if (status_handle) report(SERVICE_STOPPED, status);
}

std::string service_install(const service_entry& service,
                            const std::vector<std::string>& arguments) {
    std::wstring program(MAX_PATH, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    program.resize(length);
    std::wstring line = quoted_argument(program);
    for (const std::string& argument : arguments)
        line += L" " + quoted_argument(widen(argument));
    service_handle manager = open_manager();
    if (!manager) return last_error_text("The service manager cannot be opened");
    service_handle created(CreateServiceW(
        manager.get(), widen(service.name).c_str(), widen(service.display_name).c_str(),
        SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
        line.c_str(), nullptr, nullptr, nullptr, service_account, L""));
    if (!created) return last_error_text("The service cannot be registered");
    std::wstring description = widen(service.description);
    SERVICE_DESCRIPTIONW described{description.data()};
    ChangeServiceConfig2W(created.get(), SERVICE_CONFIG_DESCRIPTION, &described);
    return "";
}

std::string service_remove(const std::string& name) {
    service_handle manager = open_manager();
    if (!manager) return last_error_text("The service manager cannot be opened");
    service_handle service(OpenServiceW(manager.get(), widen(name).c_str(), SERVICE_ALL_ACCESS));
    if (!service) return last_error_text("The service cannot be opened");
    SERVICE_STATUS status{};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
        for (int tick = 0; tick < 100 && status.dwCurrentState != SERVICE_STOPPED; ++tick) {
            Sleep(100); // the manager has no wait for a state; a stop takes a moment
            QueryServiceStatus(service.get(), &status);
        }
    if (!DeleteService(service.get())) return last_error_text("The service cannot be removed");
    return "";
}

int service_run(const std::string& name, const std::string& log_path, int (*body)(int, char**),
                int argc, char** argv) {
    call = {widen(name), body, argc, argv};
    // A service has no console: what it says goes to its log.
    int log = _wopen(widen(log_path).c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_TEXT,
                     _S_IREAD | _S_IWRITE);
    if (log >= 0) standard_streams_to(log);
    SERVICE_TABLE_ENTRYW table[] = {{call.name.data(), service_main}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) return -1;
    return call.status;
}

std::string machine_data_folder() {
    const wchar_t* folder = _wgetenv(L"ProgramData");
    return folder ? narrow(folder) : "C:\\ProgramData";
}

std::string service_may_write(const std::string& folder) {
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = GENERIC_READ | GENERIC_WRITE | DELETE;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = const_cast<wchar_t*>(service_account);
    std::wstring path = widen(folder);
    PACL old_list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, &old_list, nullptr, &descriptor);
    PACL new_list = nullptr;
    if (error == ERROR_SUCCESS) error = SetEntriesInAclW(1, &access, old_list, &new_list);
    if (error == ERROR_SUCCESS)
        error = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, new_list, nullptr);
    LocalFree(new_list);
    LocalFree(descriptor);
    if (error == ERROR_SUCCESS) return "";
    SetLastError(error);
    return last_error_text(("The service cannot be let write " + folder).c_str());
}
