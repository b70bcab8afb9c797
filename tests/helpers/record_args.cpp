// A stand-in for a user's post-upload command: appends each of its arguments after the first as
// one line to the file named by the first, then the size of the file named by the second. With
// "--wait MS" it only takes that long, as a slow command does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <thread>

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--wait") == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        return 0;
    }
    if (argc < 2) return 2;
    FILE* out = std::fopen(argv[1], "a");
    if (!out) return 1;
    for (int i = 2; i < argc; ++i)
        std::fprintf(out, "%s\n", argv[i]);
    struct stat info {};
    if (argc > 2 && stat(argv[2], &info) == 0)
        std::fprintf(out, "size %lld\n", static_cast<long long>(info.st_size));
    std::fclose(out);
    return 0;
}
