#include "setting_table.h"

#include <cctype>

namespace {

bool same_word(const std::string& text, const char* word) {
    size_t i = 0;
    for (; word[i] && i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    return !word[i] && i == text.size();
}

} // namespace

namespace setting_texts {

bool read(setting_kind kind, const std::string& text, int low, int high,
          const std::array<const char*, 3>& words, int* value) {
    switch (kind) {
    case setting_kind::yes_no:
        *value = same_word(text, "Yes") ? 1 : 0;
        return *value == 1 || same_word(text, "No");
    case setting_kind::number:
        return parse_whole_number(text.c_str(), low, high, value);
    case setting_kind::word:
        for (size_t i = 0; i < words.size() && words[i]; ++i)
            if (same_word(text, words[i])) {
                *value = static_cast<int>(i);
                return true;
            }
        return false;
    default:
        return false;
    }
}

std::string written(setting_kind kind, int value, const std::array<const char*, 3>& words) {
    switch (kind) {
    case setting_kind::yes_no:
        return value == 1 ? "Yes" : "No";
    case setting_kind::word:
        return value >= 0 && static_cast<size_t>(value) < words.size() && words[value]
                   ? words[static_cast<size_t>(value)]
                   : words[0];
    default:
        return std::to_string(value);
    }
}

std::string wanted(setting_kind kind, int low, int high, const std::array<const char*, 3>& words) {
    switch (kind) {
    case setting_kind::yes_no:
        return "Yes or No";
    case setting_kind::number:
        return "a number from " + std::to_string(low) + " to " + std::to_string(high);
    default: {
        std::string text;
        size_t count = 0;
        while (count < words.size() && words[count])
            ++count;
        for (size_t i = 0; i < count; ++i)
            text += std::string(i == 0 ? "" : i + 1 == count ? " or " : ", ") + words[i];
        return text;
    }
    }
}

} // namespace setting_texts
