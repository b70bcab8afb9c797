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
    if (!registry_config_option(&argc, argv, &error)) {
        std::fprintf(stderr, "pellcl: %s Try 'pellcl --help'.\n", error.c_str());
        return 2;
    }
    if (argc > 1) return command_line_main(argc, argv);
    return window_module_run("pellcl-window", argc, argv);
}
