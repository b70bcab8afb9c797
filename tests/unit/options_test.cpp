// The options of a request or an OACK as both programs read and write them.
#include "engine/options.h"

#include <gtest/gtest.h>

namespace {

std::string parsed(const std::string& bytes) {
    auto* at = reinterpret_cast<const uint8_t*>(bytes.data());
    return options_text(options_parse(at, at + bytes.size()));
}

std::string pairs(std::initializer_list<const char*> words) {
    std::string bytes;
    for (const char* w : words)
        bytes += std::string(w) + '\0';
    return bytes;
}

TEST(options, are_read_without_case_first_of_each_only_numbers_known_names) {
    const struct {
        std::string bytes;
        const char* read;
    } cases[] = {
        {pairs({"blksize", "1468", "tsize", "0"}), "blksize 1468, tsize 0"},
        {pairs({"BlkSize", "8", "WINDOWSIZE", "16", "Timeout", "5"}),
         "blksize 8, windowsize 16, timeout 5"},
        {pairs({"blksize", "512", "blksize", "1468"}), "blksize 512"},
        {pairs({"blksize", "x12", "blksize", "12x", "blksize", "-1", "blksize", ""}), "none"},
        {pairs({"blksize", "99999999999999999999999"}), "none"},
        {pairs({"multicast", "", "rollover", "0", "tsize", "7"}), "tsize 7"},
        {pairs({"tsize", "7"}) + "blksize" + std::string(1, '\0') + "1468", "tsize 7"}, // cut short
        {pairs({"tsize", "7"}) + std::string(5, '\0'), "tsize 7"},                      // padded
        {"", "none"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parsed(c.bytes), c.read) << c.read;
}

TEST(options, are_written_as_pairs_that_fit_their_room) {
    option_set set;
    set.set(option_name::tsize, 33554432);
    set.set(option_name::blksize, 1468);
    uint8_t buffer[64];
    int length = options_write(buffer, sizeof buffer, set);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(length)),
              pairs({"tsize", "33554432", "blksize", "1468"}));
    EXPECT_EQ(options_write(buffer, length - 1, set), -1);
}

} // namespace
