#include "command_line.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <map>

// CLI11 reads the options: "--name value" or "--name=value", one-letter names after a single dash.
struct command_line::parser {
    CLI::App app;
    std::map<std::string, std::vector<std::string>> values; // by first name, in the order given
    std::map<std::string, int> switches;                    // how often each was given
    std::vector<std::string> words;
};

namespace {

std::vector<std::string> names_of(const command_option& o) {
    std::vector<std::string> names;
    size_t at = 0;
    for (size_t bar; (bar = o.name.find('|', at)) != std::string::npos; at = bar + 1)
        names.push_back(o.name.substr(at, bar - at));
    names.push_back(o.name.substr(at));
    return names;
}

std::string dashed(const std::string& name) { return (name.size() > 1 ? "--" : "-") + name; }

} // namespace

bool parse_whole_number(const char* text, int low, int high, int* value) {
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (!*text || *end || number < low || number > high) return false;
    *value = static_cast<int>(number);
    return true;
}

int command_line_refused(const command_program& program, const std::string& message) {
    std::fprintf(stderr, "%s: %s Try '%s --help'.\n", program.name, message.c_str(), program.name);
    return 2;
}

command_line::command_line(const std::vector<command_option>& options)
    : parser_(std::make_unique<parser>()), options_(options) {
    options_.insert(options_.end(),
                    {{"config",
                      "keep the settings in FILE (INI) instead of the\nuser's own store; also for "
                      "the window",
                      "FILE", "a file name"},
                     {"help|h", "show this help", "", ""},
                     {"version", "show the version", "", ""}});
    CLI::App& app = parser_->app;
    app.set_help_flag();
    app.allow_extras();
    app.allow_windows_style_options(false);
    for (const command_option& o : options_) {
        std::string names;
        for (const std::string& name : names_of(o))
            names += (names.empty() ? "" : ",") + dashed(name);
        const std::string first = names_of(o).front();
        if (o.value_name.empty())
            app.add_flag(names, parser_->switches[first]);
        else
            app.add_option(names, parser_->values[first])
                ->type_size(1)
                ->expected(1)
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                ->allow_extra_args(false);
    }
}

command_line::~command_line() = default;

bool command_line::parse(int argc, char** argv) {
    // A value option at the very end has no value: said in the option's own words.
    if (argc > 1) {
        std::string last = argv[argc - 1];
        for (const command_option& o : options_)
            for (const std::string& name : names_of(o))
                if (!o.value_name.empty() && last == dashed(name)) {
                    error_ = last + " needs " + (o.what.empty() ? o.value_name : o.what) + ".";
                    return false;
                }
    }
    try {
        parser_->app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        error_ = e.what();
        return false;
    }
    // What no option took: words, unless it looks like an option.
    for (const std::string& word : parser_->app.remaining()) {
        if (word.size() > 1 && word[0] == '-') {
            error_ = "unknown option '" + word.substr(0, word.find('=')) + "'.";
            return false;
        }
        parser_->words.push_back(word);
    }
    return true;
}

int command_line::parse_or_answer(int argc, char** argv, const command_program& program) {
    if (!parse(argc, argv)) return command_line_refused(program, error_);
    if (is_set("help")) {
        program.usage(argv[0]);
        return 0;
    }
    if (is_set("version")) {
        std::printf("%s (%s) %s\n", program.name, program.title, PELL_VERSION);
        return 0;
    }
    return -1;
}

bool command_line::is_set(const std::string& name) const {
    auto given = parser_->switches.find(name);
    if (given != parser_->switches.end()) return given->second > 0;
    auto values = parser_->values.find(name);
    return values != parser_->values.end() && !values->second.empty();
}

std::string command_line::value(const std::string& name) const {
    auto values = parser_->values.find(name);
    return values == parser_->values.end() || values->second.empty() ? std::string()
                                                                     : values->second.back();
}

bool command_line::number(const std::string& name, int low, int high, int* number) {
    if (!is_set(name) || parse_whole_number(value(name).c_str(), low, high, number)) return true;
    for (const command_option& o : options_)
        if (names_of(o).front() == name)
            error_ = dashed(name) + " needs " + o.what + ", not '" + value(name) + "'.";
    return false;
}

std::vector<std::string> command_line::words() const { return parser_->words; }

std::string command_line::options_help() const {
    constexpr size_t column = 25;
    const std::string indent(column, ' ');
    std::string text;
    for (const command_option& o : options_) {
        std::string left = " ";
        bool first = true;
        for (const std::string& name : names_of(o)) {
            left += (first ? " " : ", ") + dashed(name);
            first = false;
        }
        if (!o.value_name.empty()) left += " " + o.value_name;
        // A name too long for its column gets a line of its own.
        if (left.size() < column)
            left.append(column - left.size(), ' ');
        else
            left += "\n" + indent;
        // Help texts hold their own line breaks; continuation lines line up under the first.
        std::string help;
        for (char c : o.help)
            help += c == '\n' ? "\n" + indent : std::string(1, c);
        text += left + help + "\n";
    }
    return text;
}
