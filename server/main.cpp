// pellsd: the PelloryTFTP server.
#include "headless.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/window_module.h"
#include "service_command.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

int main(int argc, char** argv) {
    process_use_utf8(&argc, &argv);
#ifdef _WIN32
    int status = 0;
    if (service_command(argc, argv, &status)) return status;
#endif
    std::string error;
    bool config_read = registry_config_option(&argc, argv, &error);
    // Anything but the window speaks to a console.
    if (!config_read || argc > 1) process_use_console();
    if (!config_read) {
        std::fprintf(stderr, "pellsd: %s Try 'pellsd --help'.\n", error.c_str());
        return 2;
    }
    // The headless front end reads every option, --help and --version among them.
    for (int i = 1; i < argc; ++i)
        for (const char* word : {"--headless", "--help", "-h", "--version"})
            if (std::strcmp(argv[i], word) == 0) return headless_main(argc, argv);
    if (argc > 1) {
        std::fprintf(stderr, "pellsd: options need --headless. Try 'pellsd --help'.\n");
        return 2;
    }
    return window_module_run("pellsd-window", argc, argv);
}
