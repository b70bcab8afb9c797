// pellsd: the PelloryTFTP server.
#include "headless.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/window_module.h"
#include "service_command.h"

#include <cstdio>

int main(int argc, char** argv) {
    process_use_utf8(&argc, &argv);
#ifdef _WIN32
    int status = 0;
    if (service_command(argc, argv, &status)) return status;
#endif
    std::string error;
    bool config_read = registry_config_option(&argc, argv, &error, true);
    // Anything but the window speaks to a console.
    if (!config_read || argc > 1) process_use_console();
    if (!config_read) {
        std::fprintf(stderr, "pellsd: %s Try 'pellsd --help'.\n", error.c_str());
        return 2;
    }
    // The headless front end reads every option, --help and --version among them: any option
    // but --config asks for it.
    if (argc > 1) return headless_main(argc, argv);
    return window_module_run("pellsd-window", "--headless", argc, argv);
}
