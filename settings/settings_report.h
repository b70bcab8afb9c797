// What reading the stored settings found it could not use: each value with what stands in its
// place, the names that are none of the program's, a store that is not there. Said once, in one
// box, when the reading ends (headless, on standard error), never left to silence.
#pragma once

#include "platform/registry.h"

#include <string>
#include <vector>

class settings_report {
  public:
    // A stored value that cannot be used: its name, the text stored, what it should be
    // ("Yes or No") and what is used instead.
    void unusable(registry_key* key, const std::string& name, const std::string& text,
                  const std::string& wanted, const std::string& used);
    // Names the values of key that are not among known, and the lines of its file that are
    // nothing a settings file holds.
    void unknown(registry_key* key, const std::vector<std::string>& known);
    // Shows what was found, when there is anything.
    void show() const;

  private:
    std::string where(const registry_value_place& place);

    std::vector<std::string> lines_;
    std::string file_; // where they were read, when it is a file
};
