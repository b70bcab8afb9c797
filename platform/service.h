// Windows' Service Control Manager: a program registered to start at boot without a user, and
// run under the manager's control. (On Linux the package's systemd unit does this.)
#pragma once

#include <string>
#include <vector>

struct service_entry {
    std::string name;         // how sc and the manager name it ("pellsd")
    std::string display_name; // how the Services list shows it
    std::string description;
};

// Registers this program as the service, started at boot with arguments, under the LocalService
// account; "" once it is registered, else why not.
std::string service_install(const service_entry& service,
                            const std::vector<std::string>& arguments);
// Stops the service if it runs and removes it; "" once it is gone, else why not.
std::string service_remove(const std::string& name);
// Runs body(argc, argv) as the service the manager started, with the standard streams appended
// to log_path: the manager's stop request is taken as Ctrl-C, and the manager learns the status
// the process ends with. -1 when the process was not started by the manager.
int service_run(const std::string& name, const std::string& log_path, int (*body)(int, char**),
                int argc, char** argv);
// The folder for data of the machine's own rather than a user's (C:\ProgramData).
std::string machine_data_folder();
// Lets the account the service runs as change what the folder holds, and what it will hold.
std::string service_may_write(const std::string& folder);
