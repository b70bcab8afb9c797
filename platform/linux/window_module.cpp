#include "platform/window_module.h"

#include <climits>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

int window_module_run(const char* module, int argc, char** argv) {
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
    std::fprintf(stderr, "%s: cannot open the window: %s\n", argv[0], error.c_str());
    return 1;
}
