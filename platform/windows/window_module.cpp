#include "platform/window_module.h"

#include <cstdio>

int window_module_run(const char* module, int, char** argv) {
    std::fprintf(stderr,
                 "%s: this build has no window (%s); run it from the console, see --help.\n",
                 argv[0], module);
    return 1;
}
