// What reading the stored settings found it could not use: each value with what stands in its
// place, the names that are none of the program's, a store that is not there. Said once, in one
// box, when the reading ends (headless, on standard error), never left to silence.
#pragma once

#include <string>
#include <vector>

struct registry_key;

class settings_report {
  public:
    // A stored value that cannot be used: its name, the text stored, what it should be
    // ("Yes or No") and what is used instead.
    void unusable(const std::string& name, const std::string& text, const std::string& wanted,
                  const std::string& used);
    // Names the values of key that are not among known.
    void unknown(registry_key* key, const std::vector<std::string>& known);
    // Shows what was found, when there is anything.
    void show() const;

  private:
    std::vector<std::string> lines_;
};
