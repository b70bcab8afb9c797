#include "command_line.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

struct command_line::parser {
    QCommandLineParser qt;
};

namespace {

QStringList names_of(const command_option& o) { return QString::fromStdString(o.name).split('|'); }

std::string dashed(const QString& name) {
    return (name.size() > 1 ? "--" : "-") + name.toStdString();
}

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
    parser_->qt.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const command_option& o : options_) {
        QCommandLineOption option(names_of(o), QString::fromStdString(o.help));
        if (!o.value_name.empty()) option.setValueName(QString::fromStdString(o.value_name));
        parser_->qt.addOption(option);
    }
}

command_line::~command_line() = default;

bool command_line::parse(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // A value option at the very end has no value: said in the option's own words.
    if (argc > 1) {
        std::string last = argv[argc - 1];
        for (const command_option& o : options_)
            for (const QString& name : names_of(o))
                if (!o.value_name.empty() && last == dashed(name)) {
                    error_ = last + " needs " + (o.what.empty() ? o.value_name : o.what) + ".";
                    return false;
                }
    }
    if (parser_->qt.parse(arguments)) return true;
    QStringList unknown = parser_->qt.unknownOptionNames();
    if (!unknown.isEmpty()) {
        error_ = "unknown option '" + dashed(unknown.first()) + "'.";
    } else {
        error_ = parser_->qt.errorText().toStdString();
    }
    return false;
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
    return parser_->qt.isSet(QString::fromStdString(name));
}

std::string command_line::value(const std::string& name) const {
    QStringList values = parser_->qt.values(QString::fromStdString(name));
    return values.isEmpty() ? std::string() : values.last().toStdString();
}

bool command_line::number(const std::string& name, int low, int high, int* number) {
    if (!is_set(name) || parse_whole_number(value(name).c_str(), low, high, number)) return true;
    for (const command_option& o : options_)
        if (names_of(o).first().toStdString() == name)
            error_ = dashed(QString::fromStdString(name)) + " needs " + o.what + ", not '" +
                     value(name) + "'.";
    return false;
}

std::vector<std::string> command_line::words() const {
    std::vector<std::string> found;
    for (const QString& word : parser_->qt.positionalArguments())
        found.push_back(word.toStdString());
    return found;
}

std::string command_line::options_help() const {
    constexpr size_t column = 25;
    const std::string indent(column, ' ');
    std::string text;
    for (const command_option& o : options_) {
        std::string left = " ";
        bool first = true;
        for (const QString& name : names_of(o)) {
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
