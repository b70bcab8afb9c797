// A program's settings, each described once by a row of its table: the name it is stored under,
// its kind and range, the command-line flag that sets it with its line of help, the window's
// control that shows it, and the words that refuse a value the window cannot take. The factory
// value is the one the program's value type starts with. Reading and writing the store, --help,
// the options of a command line, the window's controls and their checks are all driven from the
// rows: adding a setting is one row and one member, and the code that uses it.
//
// A row without a stored name is an option of the command line only (--root, which sets two
// settings); its apply function says what it does to the value.
#pragma once

#include "platform/command_line.h"
#include "settings_report.h"

#include <array>
#include <string>
#include <vector>

struct registry_key;

enum class setting_kind {
    yes_no, // stored "Yes" or "No" (read without regard to case): 1 or 0
    number, // a whole number of its range
    text,   // a text; the row's check, where it has one, says which it takes
    word,   // one of the row's words (read without regard to case): the word's index
    option, // no stored value: an option of the command line only
};

// How the window shows a setting.
enum class setting_control {
    none,
    check_box,    // a switch; it enables its row's controls while it is on
    field,        // a number or a text
    list,         // a word, or a number of the row's list_values, one entry a value
    timeout_list, // the seconds of a packet timeout, 2 to 120
    choice_pair,  // a word of two: the control of the first word, then the second's
};

template <typename Value> struct setting_row {
    const char* name; // stored under it; none for an option of the command line only
    setting_kind kind;
    int Value::*number = nullptr;       // yes_no, number, word
    std::string Value::*text = nullptr; // text
    int low = 0, high = 0;              // a number's range
    // A word's words, stored by name, in the order of their values; a list's entries.
    std::array<const char*, 3> words{};
    std::array<int, 3> list_values{}; // a number a list shows: the value of each entry
    const char* with = nullptr;       // stored only while this switch is on; read when it was read
    bool (*usable)(const std::string& text) = nullptr; // a text's check; none takes any
    // A stored text its check refuses is said, and the factory value stands for it, in these
    // words; without them a stored text is taken as it is, for its user to judge.
    const char* instead = nullptr;
    // The command line.
    const char* flag = nullptr;       // its names without dashes ("4|ipv4"); none: no flag
    const char* value_name = nullptr; // how --help shows its value ("DIR"); none: a switch
    const char* help = nullptr;       // its words in --help ("\n" breaks the line)
    const char* wanted = nullptr;     // its value in words, for a refusal
    const char* turns_on = nullptr;   // the stored name of a switch the flag turns on as well
    // What the flag does beyond setting its row's value; an option's whole doing.
    void (*apply)(Value* value, const command_line& line) = nullptr;
    // The window.
    setting_control control_kind = setting_control::none;
    int control = 0, second = 0; // its control; the second of a pair of choices
    size_t limit = 259;          // the most characters a text field gives its setting
    std::array<int, 3> enables{}; // a switch's: the controls usable while it is on
    const char* on_text = nullptr; // a switch's status line when the user turns it on, and off
    const char* off_text = nullptr;
    const char* refusal = nullptr; // the window's words for a value it cannot take
};

// What the rows share whatever the program: reading a stored text into a kind, and back.
namespace setting_texts {
// The value a stored text gives a yes_no, number or word row, or false when it gives none.
bool read(setting_kind kind, const std::string& text, int low, int high,
          const std::array<const char*, 3>& words, int* value);
// How a yes_no, number or word value is stored.
std::string written(setting_kind kind, int value, const std::array<const char*, 3>& words);
// What a stored text must be, in words, for the report of one that is none.
std::string wanted(setting_kind kind, int low, int high, const std::array<const char*, 3>& words);
} // namespace setting_texts

// The rows of a program, with what it does with them.
template <typename Value> class setting_table {
  public:
    explicit setting_table(std::vector<setting_row<Value>> rows) : rows_(std::move(rows)) {}
    const std::vector<setting_row<Value>>& rows() const { return rows_; }
    // The row stored under name, or the option named so; nullptr when there is none.
    const setting_row<Value>* row(const char* name) const;
    // The row whose control (either of a pair) is id; nullptr when none has it.
    const setting_row<Value>* row_of_control(int id) const;

    // Reads every value stored under key that its row takes; what cannot be used, and the names
    // that are no setting, go to report. False when there is no such key.
    bool read(const std::string& key, Value* value, settings_report* report) const;
    // Stores every value under key, a companion only while its switch is on; false when the store
    // did not take them.
    bool write(const std::string& key, const Value& value) const;

    // The options of the command line, in the order of the rows, for command_line.
    std::vector<command_option> options() const;
    // Sets what the options given on line say; the refusal, or "" when every one could be taken.
    std::string apply(const command_line& line, Value* value) const;

    // Fills the window's lists with their entries, once, before a value is shown.
    void fill_lists() const;
    // Shows the value in the window's controls, with what each switch enables.
    void show(const Value& value) const;
    // A control changed: its row's value takes what it shows (a number only when it is one of its
    // range). The row, or nullptr when the control shows no setting.
    const setting_row<Value>* take(int id, Value* value) const;
    // Takes every control into the value, a number only where it is one of its range; the
    // refusal of the first that is not, or "" when each could be taken. The number fields that
    // a switch enables are read only while it is on.
    std::string take_all(Value* value) const;

  private:
    std::vector<setting_row<Value>> rows_;
};

#include "setting_table_impl.h"
