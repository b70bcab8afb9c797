#include "remap_rules.h"

#include "engine/packet.h"
#include "platform/address.h"
#include "platform/files.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>

namespace {

// The work one request's name may cost, in steps of the patterns: a few milliseconds.
constexpr int64_t step_budget = 200000;
// The longest name the rules may make; the filename policy refuses the long ones anyway.
constexpr size_t made_name_limit = 1024;
// The largest rules file read.
constexpr long file_limit = 1 << 20;

// The fields of a line: blanks between them, "#" ending the line, a backslash keeping the
// character after it (and itself, for the field's own reading).
std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool in_field = false;
    for (size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '#') break;
        if (c == ' ' || c == '\t' || c == '\r') {
            if (in_field) fields.push_back(field);
            field.clear();
            in_field = false;
            continue;
        }
        in_field = true;
        field += c;
        if (c == '\\' && at + 1 < line.size()) field += line[++at];
    }
    if (in_field) fields.push_back(field);
    return fields;
}

std::string hexadecimal(const net_endpoint& client) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    const size_t bytes = client.family == net_family::v6 ? 16 : 4;
    for (size_t i = 0; i < bytes; ++i) {
        text += digits[client.address[i] >> 4];
        text += digits[client.address[i] & 15];
    }
    return text;
}

// The rules that serve, replaced whole; a request keeps the ones it began with.
std::mutex served_mutex;
std::shared_ptr<const remap_rules> served_rules;

void serve(std::shared_ptr<const remap_rules> rules) {
    std::lock_guard<std::mutex> lock(served_mutex);
    served_rules = std::move(rules);
}

} // namespace

std::string remap_rules::parse(const std::string& text) {
    rules_.clear();
    int number = 0;
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::vector<std::string> fields = fields_of(text.substr(at, end - at));
        at = end + 1;
        ++number;
        if (fields.empty()) continue;
        std::string fault;
        const auto line_fault = [&](const std::string& why) {
            std::string said = "line ";
            said += std::to_string(number);
            said += ": ";
            said += why;
            return said;
        };
        if (fields.size() < 2) return line_fault("a rule is its flags and an expression");
        if (fields.size() > 3)
            return line_fault("more than flags, an expression and a replacement (a backslash "
                              "keeps a blank in its field)");
        rule r;
        r.line = number;
        bool ignore_case = false;
        for (char flag : fields[0]) {
            switch (flag) {
            case 'r':
                r.replace = true;
                break;
            case 'g':
                r.repeat = true;
                break;
            case 'i':
                ignore_case = true;
                break;
            case 'e':
                r.end = true;
                break;
            case 's':
                r.restart = true;
                break;
            case 'a':
                r.refuse = true;
                break;
            case 'G':
                r.uploads = false;
                break;
            case 'P':
                r.downloads = false;
                break;
            case '4':
                r.ipv6 = false;
                break;
            case '6':
                r.ipv4 = false;
                break;
            case '~':
                r.inverted = true;
                break;
            default:
                return line_fault(std::string("'") + flag +
                                  "' is no flag of a rule (r g i e s a G P 4 6 ~)");
            }
        }
        if (r.replace && r.inverted)
            return line_fault("~ acts when nothing matched: there is nothing for r to replace");
        if (std::string why = r.pattern.compile(fields[1], ignore_case); !why.empty())
            return line_fault("the expression " + fields[1] + ": " + why);
        if (fields.size() == 3) r.replacement = fields[2];
        rules_.push_back(std::move(r));
    }
    return "";
}

std::string remap_rules::substituted(const std::string& name, const name_pattern::match& found,
                                     const std::string& replacement, const net_endpoint& client) {
    std::string made = name.substr(0, static_cast<size_t>(found.start(0)));
    char letter_case = 'E';
    auto append = [&](const std::string& piece) {
        for (char c : piece) {
            const auto u = static_cast<unsigned char>(c);
            made += letter_case == 'U'   ? static_cast<char>(toupper(u))
                    : letter_case == 'L' ? static_cast<char>(tolower(u))
                                         : c;
        }
    };
    for (size_t at = 0; at < replacement.size(); ++at) {
        const char c = replacement[at];
        if (c != '\\' || at + 1 == replacement.size()) {
            append(std::string(1, c));
            continue;
        }
        const char escaped = replacement[++at];
        if (escaped >= '0' && escaped <= '9') {
            const int group = escaped - '0';
            if (found.start(group) >= 0)
                append(name.substr(static_cast<size_t>(found.start(group)),
                                   static_cast<size_t>(found.length(group))));
        } else if (escaped == 'i') {
            append(address_text(client));
        } else if (escaped == 'x') {
            append(hexadecimal(client));
        } else if (escaped == 'U' || escaped == 'L' || escaped == 'E') {
            letter_case = escaped;
        } else {
            append(std::string(1, escaped)); // \\, a blank, #
        }
    }
    made += name.substr(static_cast<size_t>(found.start(0) + found.length(0)));
    return made;
}

remap_rules::outcome remap_rules::apply(const std::string& name, int kind,
                                        const net_endpoint& client) const {
    outcome done;
    done.name = name;
    int64_t steps = step_budget;
    const bool v6 = client.family == net_family::v6;
    for (size_t index = 0; index < rules_.size();) {
        const rule& r = rules_[index];
        auto cut_off = [&](const char* why) {
            done.result = outcome::kind::cut_off;
            done.why = "the remap rule on line ";
            done.why += std::to_string(r.line);
            done.why += why;
            return done;
        };
        if (!(kind == OP_RRQ ? r.downloads : r.uploads) || !(v6 ? r.ipv6 : r.ipv4)) {
            ++index;
            continue;
        }
        name_pattern::match found;
        bool matched = r.pattern.search(done.name, &found, &steps);
        if (steps < 0) return cut_off(" took too long");
        if (matched == r.inverted) {
            ++index;
            continue;
        }
        if (r.refuse) {
            done.result = outcome::kind::refused;
            return done;
        }
        while (r.replace && matched) {
            std::string made = substituted(done.name, found, r.replacement, client);
            // Repeating a replacement that changes nothing would never end.
            if (made == done.name) break;
            done.name = std::move(made);
            steps -= static_cast<int64_t>(done.name.size() + r.replacement.size());
            if (done.name.size() > made_name_limit) return cut_off(" made too long a name");
            matched = r.repeat && r.pattern.search(done.name, &found, &steps);
            if (steps < 0) return cut_off(" took too long");
        }
        if (r.end) break;
        index = r.restart ? 0 : index + 1;
    }
    return done;
}

std::shared_ptr<const remap_rules> remap_rules_now() {
    std::lock_guard<std::mutex> lock(served_mutex);
    return served_rules;
}

std::string remap_rules_follow(const std::string& path) {
    if (path.empty()) {
        serve(nullptr);
        return "";
    }
    std::string why = "The remap rules in '";
    why += path;
    why += "' cannot be used: ";
    FILE* file = stream_open(file_place(path), true, false);
    if (!file) return why + error_text(errno) + ".";
    std::string text;
    char block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0 &&
           text.size() < static_cast<size_t>(file_limit))
        text.append(block, got);
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) return why + "it does not read.";
    if (text.size() >= static_cast<size_t>(file_limit)) return why + "it is larger than 1 MB.";
    auto rules = std::make_shared<remap_rules>();
    if (std::string fault = rules->parse(text); !fault.empty()) return why + fault + ".";
    serve(std::move(rules));
    return "";
}
