#include "platform/window_module.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

// An X or Wayland display, or a platform of Qt's own chosen (the tests' offscreen one).
bool display_present() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

} // namespace

int window_module_run(const char* module, const char* instead, int argc, char** argv) {
    if (!display_present()) {
        const std::string program(module, std::strcspn(module, "-"));
        std::fprintf(stderr, "%s: No display: use %s (see --help).\n", program.c_str(), instead);
        return 2;
    }
    char self[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = length > 0 ? std::string(self, static_cast<size_t>(length)) : argv[0];
    folder = folder.substr(0, folder.rfind('/') + 1);
    std::string error;
    for (const std::string& place : {folder, folder + "../lib/pellory/"}) {
        void* handle = dlopen((place + module + ".so").c_str(), RTLD_NOW);
        if (!handle) {
            error = dlerror();
            continue;
        }
        auto entry = reinterpret_cast<int (*)(int, char**)>(dlsym(handle, "pellory_window_main"));
        if (entry) return entry(argc, argv);
        error = "no window entry in " + place + module + ".so";
    }
    // The package of the programs without windows is installed alone on servers.
    std::fprintf(stderr,
                 "%s: cannot open the window: %s\nInstall pellory-tftp-windows for it, or use %s "
                 "(see --help).\n",
                 argv[0], error.c_str(), instead);
    return 1;
}
