// A regular expression of the POSIX extended form (egrep's), for the names clients ask for: the
// remap rules match them. It is run as a set of states advanced over the name together, never by
// backtracking, so that its work grows with the name's length times the expression's size and
// no expression can make a name cost seconds; a budget of steps bounds it besides.
//
// Taken: branches (|), groups, * + ? and {M}, {M,}, {M,N} (counts to 255), ., ^, $, bracket
// expressions with ranges and the classes [:alpha:] and the like, and GNU's \w \W \s \S. Back
// references and the word-boundary escapes are refused. The match is the leftmost, and of those
// the longest; a group holds what it matched on the way the first of the alternatives took.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class name_pattern {
  public:
    // What \0 to \9 matched: the offset and length in the subject, -1 for a group that did not.
    struct match {
        std::array<int, 20> bounds;
        int start(int group) const { return bounds[2 * group]; }
        int length(int group) const { return bounds[2 * group + 1] - bounds[2 * group]; }
    };

    // Compiles text (without regard to case when ignore_case); the reason it cannot be, in words,
    // or "" when it is compiled.
    std::string compile(const std::string& text, bool ignore_case);
    // Looks for the pattern in subject; steps counts down the work done, and a search that runs
    // it below zero ends with false.
    bool search(const std::string& subject, match* found, int64_t* steps) const;

    // The most states one expression may compile to.
    static constexpr size_t size_limit = 4000;

  private:
    enum class op : uint8_t { byte, any, set, split, jump, save, line_start, line_end, done };
    struct step {
        op kind;
        uint8_t byte = 0;
        int a = 0, b = 0; // split: the preferred and the other state; jump: a; save: slot a;
                          // set: the set's index
    };
    friend class pattern_compiler;
    std::vector<step> steps_;
    std::vector<std::array<bool, 256>> sets_;
};
