// pellcl: the PelloryTFTP client.
#include <cstdio>
#include <cstring>

namespace {

void usage(const char* program) {
    std::printf("Usage: %s [--help]\n"
                "\n"
                "PelloryTFTP client v1.0.1: a TFTP client (RFC 1350, UDP, IPv4).\n"
                "The transfer session and its command line come with the next version.\n",
                program);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(argv[0]);
        return 0;
    }
    usage(argv[0]);
    return argc > 1 ? 2 : 0;
}
