// pellsd: the PelloryTFTP server.
#include "headless.h"
#include "qt/programs.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) return headless_main(argc, argv);
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            headless_usage(argv[0]);
            return 0;
        }
    }
    if (argc > 1) {
        std::fprintf(stderr, "pellsd: options need --headless. Try 'pellsd --help'.\n");
        return 2;
    }
    return qt_server_main(argc, argv);
}
