#include "options.h"

#include "packet.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace {

constexpr struct {
    option_name name;
    const char* text;
} known[] = {
    {option_name::blksize, "blksize"},
    {option_name::tsize, "tsize"},
    {option_name::timeout, "timeout"},
    {option_name::windowsize, "windowsize"},
};

const char* text_of(option_name name) {
    for (const auto& k : known)
        if (k.name == name) return k.text;
    return "";
}

bool named(const std::string& word, option_name* name) {
    for (const auto& k : known) {
        if (word.size() != std::strlen(k.text)) continue;
        bool same = std::equal(word.begin(), word.end(), k.text, [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
        if (same) {
            *name = k.name;
            return true;
        }
    }
    return false;
}

// A whole decimal number, nothing before or after it.
bool number(const std::string& word, int64_t* value) {
    if (word.empty() || !std::isdigit(static_cast<unsigned char>(word[0]))) return false;
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), *value);
    return error == std::errc() && end == word.data() + word.size();
}

} // namespace

bool option_set::has(option_name name) const { return get(name) >= 0; }

int64_t option_set::get(option_name name) const {
    for (const option_value& v : values)
        if (v.name == name) return v.value;
    return -1;
}

void option_set::set(option_name name, int64_t value) {
    for (option_value& v : values)
        if (v.name == name) {
            v.value = value;
            return;
        }
    values.push_back({name, value});
}

option_set options_parse(const uint8_t* at, const uint8_t* end, std::string* fault) {
    option_set set;
    std::string name_text, value_text;
    // Shown to the user as it came, but for bytes that no line can show.
    auto left_out = [fault](std::string pair) {
        for (char& c : pair)
            if (static_cast<unsigned char>(c) < ' ' || static_cast<unsigned char>(c) > '~') c = '?';
        if (fault && fault->empty()) *fault = pair;
    };
    while (at < end) {
        const uint8_t* pair = at;
        if (!take_text(at, end, &name_text) || !take_text(at, end, &value_text)) {
            if (std::any_of(pair, end, [](uint8_t b) { return b != 0; }))
                left_out("a pair cut short");
            break;
        }
        option_name name;
        int64_t value = 0;
        if (named(name_text, &name) && number(value_text, &value) && !set.has(name))
            set.values.push_back({name, value});
        else if (!name_text.empty()) // padding is no option
            left_out(name_text + " " + value_text);
    }
    return set;
}

int options_write(uint8_t* buffer, int room, const option_set& set) {
    int length = 0;
    for (const option_value& v : set.values) {
        std::string pair = std::string(text_of(v.name)) + '\0' + std::to_string(v.value) + '\0';
        if (length + static_cast<int>(pair.size()) > room) return -1;
        std::memcpy(buffer + length, pair.data(), pair.size());
        length += static_cast<int>(pair.size());
    }
    return length;
}

std::string options_text(const option_set& set) {
    std::string text;
    for (const option_value& v : set.values)
        text += (text.empty() ? "" : ", ") + std::string(text_of(v.name)) + " " +
                std::to_string(v.value);
    return text.empty() ? "none" : text;
}
