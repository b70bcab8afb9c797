// pellcl: the PelloryTFTP client.
#include "command_line.h"
#include "qt/programs.h"

#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            command_line_usage(argv[0]);
            return 0;
        }
    }
    if (argc > 1) return command_line_main(argc, argv);
    return qt_client_main(argc, argv);
}
