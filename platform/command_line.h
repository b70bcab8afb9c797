// A program's command line, read with CLI11: options as "--name value" or "--name=value",
// each with its line of help, and the words that are not options.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct command_option {
    std::string name;       // without dashes, other names after '|' ("help|h"); one letter makes
                            // a short option ("-h")
    std::string help;       // its text in --help
    std::string value_name; // as --help shows the value ("DIR"); empty for a switch
    std::string what;       // the value in words, for the message when it is missing
};

// A whole decimal number from low to high, the whole text; false for anything else.
bool parse_whole_number(const char* text, int low, int high, int* value);

// Who a command line belongs to: the program's name ("pellsd"), its title for --version
// ("PelloryTFTP server") and what prints its --help.
struct command_program {
    const char* name;
    const char* title;
    void (*usage)(const char* invoked_as);
};

// Says on standard error why the program's command line was refused; the exit status for it.
int command_line_refused(const command_program& program, const std::string& message);

class command_line {
  public:
    // The program's own options; --config, --help and --version follow them in every program.
    explicit command_line(const std::vector<command_option>& options);
    ~command_line();
    command_line(const command_line&) = delete;
    command_line& operator=(const command_line&) = delete;

    // Reads the arguments after the program's name; false, with error() saying why, when they
    // do not fit the options.
    bool parse(int argc, char** argv);
    // parse(), then the answers every program gives alike: its usage for --help, its version
    // for --version, the refusal when the arguments do not fit. The exit status to leave with,
    // or -1 to go on.
    int parse_or_answer(int argc, char** argv, const command_program& program);
    const std::string& error() const { return error_; }
    // Whether the option (by its first name) was given.
    bool is_set(const std::string& name) const;
    // The option's value, the last one when it was given more than once.
    std::string value(const std::string& name) const;
    // Reads the option's value, when it was given, as a whole number from low to high; false,
    // with error() saying why in the option's own words, when it is no such number.
    bool number(const std::string& name, int low, int high, int* number);
    std::vector<std::string> words() const;
    // Every option with its help, one per line, for --help.
    std::string options_help() const;

  private:
    struct parser;
    std::unique_ptr<parser> parser_;
    std::vector<command_option> options_;
    std::string error_;
};
