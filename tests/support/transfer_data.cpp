#include "transfer_data.h"

#include "temp_folder.h"

const std::vector<size_t>& transfer_sizes() {
    // Under Wine a lock-step round trip costs a millisecond: the largest file, whose 65535
    // blocks the engine's own counting serves on both systems, is sent on Linux only.
#ifdef _WIN32
    static const std::vector<size_t> sizes = {0, 1, 511, 512, 513, 1000};
#else
    static const std::vector<size_t> sizes = {0, 1, 511, 512, 513, 1000, largest_transfer};
#endif
    return sizes;
}

std::string transfer_content(size_t size, int mode) {
    if (mode == 1) return pattern_bytes(size, static_cast<unsigned>(size));
    std::string text(size, 'x');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    if (size == largest_transfer) return text;
    for (size_t i = 40; i < size; i += 97)
        text[i] = '\n';
    for (size_t i = 70; i < size; i += 211)
        text[i] = '\r';
    if (size > 511) text[511] = '\n'; // its CR ends block 1 and its LF begins block 2
    if (size > 900) text[900] = '\r';
    return text;
}
