// A stand-in for a user's post-upload command: appends each of its arguments after the first as
// one line to the file named by the first, then the size of the file named by the second.
#include <cstdio>
#include <sys/stat.h>

int main(int argc, char** argv) {
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
