#include "console_options.h"

#include <cstdlib>

bool parse_whole_number(const char* text, int low, int high, int* value) {
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (!*text || *end || number < low || number > high) return false;
    *value = static_cast<int>(number);
    return true;
}
