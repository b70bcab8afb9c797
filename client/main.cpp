// pellcl: the PelloryTFTP client.
#include "command_line.h"
#include "platform/window_module.h"

int main(int argc, char** argv) {
    if (argc > 1) return command_line_main(argc, argv);
    return window_module_run("pellcl-window", argc, argv);
}
