#include "platform/window_module.h"

// On Windows the window is part of the program, made of the system's own controls: there is no
// module to load, and no graphical library to keep away from the console front ends.
extern "C" int pellory_window_main(int argc, char** argv);

int window_module_run(const char*, const char*, int argc, char** argv) {
    return pellory_window_main(argc, argv);
}
