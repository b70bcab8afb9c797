// pellcl: the PelloryTFTP client.
#include "command_line.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/window_module.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    process_use_utf8(&argc, &argv);
    std::string error;
    bool config_read = registry_config_option(&argc, argv, &error, false);
    // Anything but the window speaks to a console.
    if (!config_read || argc > 1) process_use_console();
    if (!config_read) {
        std::fprintf(stderr, "pellcl: %s Try 'pellcl --help'.\n", error.c_str());
        return 2;
    }
    if (argc > 1) return command_line_main(argc, argv);
    return window_module_run("pellcl-window", "--get or --put", argc, argv);
}
