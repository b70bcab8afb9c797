// TFTP options (RFC 2347) as both programs read and write them: the block size (RFC 2348), the
// transfer size and the timeout (RFC 2349) and the window size (RFC 7440), after the mode of a
// request and in an OACK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The limits the RFCs set.
constexpr int blksize_min = 8;
constexpr int blksize_max = 65464;
constexpr int windowsize_max = 65535;
// The largest window either program keeps: a window's blocks are held in memory.
constexpr int window_size_limit = 512;

enum class option_name { blksize, tsize, timeout, windowsize };

struct option_value {
    option_name name;
    int64_t value;
};

// The known options of a request or an OACK, each once, in the order they came.
struct option_set {
    std::vector<option_value> values;

    bool has(option_name name) const;
    int64_t get(option_name name) const; // -1 when absent
    void set(option_name name, int64_t value);
    bool empty() const { return values.empty(); }
};

// Reads the pairs of NUL-terminated name and value from at to end: names without regard to case,
// values whole decimal numbers. Unknown names, values that are not numbers and a pair cut short
// are left out; of a name given twice the first counts. With fault (an OACK, which may name only
// what was asked) nothing is left out in silence: the first pair that would be is named in *fault
// ("blksize abc"), which stays empty when there is none.
option_set options_parse(const uint8_t* at, const uint8_t* end, std::string* fault = nullptr);
// Writes the set as name NUL value NUL pairs into buffer; the bytes written, or -1 when they do
// not fit in room.
int options_write(uint8_t* buffer, int room, const option_set& set);
// "blksize 1468, tsize 0", for the trace.
std::string options_text(const option_set& set);
