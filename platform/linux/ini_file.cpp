#include "platform/ini_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* general = "General";

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void append_utf8(std::string* out, unsigned long code) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xc0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        code = std::min(code, 0xffffUL);
        *out += static_cast<char>(0xe0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        *out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// A value as written after its "=": quotes joined and removed, escapes undone, spaces around it
// and a comment after it gone.
std::string unescaped(const std::string& raw) {
    std::string value;
    size_t kept = 0; // the value ends after its last character that is not a space outside quotes
    bool quoted = false;
    for (size_t i = raw.find_first_not_of(" \t"); i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            kept = value.size();
            continue;
        }
        if (c == ';' && !quoted) break;
        if (c == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            static const std::string named = "abfnrtv", meant = "\a\b\f\n\r\t\v";
            if (size_t at = named.find(e); at != std::string::npos) {
                value += meant[at];
            } else if (e == 'x' || (e >= '0' && e <= '7')) {
                const int base = e == 'x' ? 16 : 8;
                const size_t from = e == 'x' ? i + 1 : i;
                size_t end = from;
                while (end < raw.size() && (base == 16 ? std::isxdigit(static_cast<unsigned char>(raw[end]))
                                                       : raw[end] >= '0' && raw[end] <= '7'))
                    ++end;
                append_utf8(&value,
                            end == from ? 0 : std::stoul(raw.substr(from, end - from), nullptr, base));
                i = end - 1;
            } else {
                value += e;
            }
            kept = value.size();
            continue;
        }
        value += c;
        if (quoted || (c != ' ' && c != '\t')) kept = value.size();
    }
    value.resize(kept);
    // A text that begins with "@" was stored with a second one, apart from Qt's typed values.
    if (value.rfind("@@", 0) == 0) value.erase(0, 1);
    return value;
}

// The value as it is written after its "=", so that it reads back as it is.
std::string escaped(const std::string& text) {
    const std::string value = text.rfind('@', 0) == 0 ? "@" + text : text;
    std::string out;
    bool quotes = false, after_hex = false;
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        quotes = quotes || c == ';' || c == ',' || c == '=';
        static const std::string meant = "\a\b\f\n\r\t\v", named = "abfnrtv";
        char hex[8];
        if (size_t at = meant.find(c); c != '\0' && at != std::string::npos) {
            out += '\\';
            out += named[at];
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7f || (after_hex && std::isxdigit(u))) {
            // A digit after a hexadecimal escape would be read as part of it.
            std::snprintf(hex, sizeof hex, "\\x%x", u);
            out += hex;
            after_hex = true;
            continue;
        } else {
            out += c;
        }
        after_hex = false;
    }
    if (quotes || (!out.empty() && (out.front() == ' ' || out.back() == ' ')))
        return '"' + out + '"';
    return out;
}

} // namespace

ini_file::ini_file(const std::string& text) {
    std::string section = general;
    int number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string whole = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!whole.empty() && whole.back() == '\r') whole.pop_back();
        line l{whole, section, "", ""};
        const std::string content = trimmed(whole);
        const size_t equals = content.find('=');
        if (content.empty() || content[0] == ';' || content[0] == '#') {
            // blank, or a comment: kept as it is
        } else if (content.front() == '[' && content.back() == ']') {
            section = l.section = trimmed(content.substr(1, content.size() - 2));
        } else if (equals != std::string::npos && equals > 0) {
            l.name = trimmed(content.substr(0, equals));
            l.value = unescaped(content.substr(equals + 1));
        } else {
            unreadable_.push_back({number, whole});
        }
        lines_.push_back(std::move(l));
    }
}

const ini_file::line* ini_file::find(const std::string& name) const {
    const size_t slash = name.find('/');
    const std::string section = slash == std::string::npos ? general : name.substr(0, slash);
    const std::string key = slash == std::string::npos ? name : name.substr(slash + 1);
    // The last of two lines with one name is the one that holds.
    for (auto l = lines_.rbegin(); l != lines_.rend(); ++l)
        if (l->name == key && l->section == section) return &*l;
    return nullptr;
}

bool ini_file::get(const std::string& name, std::string* value) const {
    const line* l = find(name);
    if (l) *value = l->value;
    return l != nullptr;
}

int ini_file::line_of(const std::string& name) const {
    const line* l = find(name);
    return l ? static_cast<int>(l - lines_.data()) + 1 : 0;
}

std::vector<std::string> ini_file::names() const {
    std::vector<std::string> names;
    for (const line& l : lines_) {
        if (l.name.empty()) continue;
        std::string name = l.section == general ? l.name : l.section + "/" + l.name;
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

void ini_file::set(const std::string& name, const std::string& value) {
    const std::string text = name + "=" + escaped(value);
    if (const line* found = find(name)) {
        line& l = lines_[static_cast<size_t>(found - lines_.data())];
        l.text = text;
        l.value = value;
        return;
    }
    // After the last value of [General], or its heading, or in a [General] put first.
    auto last = std::find_if(lines_.rbegin(), lines_.rend(), [](const line& l) {
        return l.section == general && (!l.name.empty() || trimmed(l.text) == "[General]");
    });
    auto at = last.base();
    if (last == lines_.rend() && std::any_of(lines_.begin(), lines_.end(), [](const line& l) {
            return l.section != general;
        }))
        at = lines_.insert(lines_.begin(), line{"[General]", general, "", ""}) + 1;
    else if (lines_.empty())
        at = lines_.insert(lines_.end(), line{"[General]", general, "", ""}) + 1;
    lines_.insert(at, line{text, general, name, value});
}

std::string ini_file::text() const {
    std::string out;
    for (const line& l : lines_)
        out += l.text + "\n";
    return out;
}

bool ini_file_read(const std::string& path, ini_file* file) {
    FILE* stream = std::fopen(path.c_str(), "rbe");
    if (!stream) {
        if (errno != ENOENT) return false;
        *file = ini_file();
        return true;
    }
    std::string text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, stream)) > 0;)
        text.append(buffer, got);
    const bool read = !std::ferror(stream);
    std::fclose(stream);
    if (read) *file = ini_file(text);
    return read;
}

bool ini_file_write(const std::string& path, const ini_file& file) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    struct stat existing {};
    const bool replaces = stat(path.c_str(), &existing) == 0;
    const std::string temp = path + ".new-" + std::to_string(getpid());
    // A new file is as readable as the process's mask allows: a server that drops its
    // privileges reads again what root stored.
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    const std::string text = file.text();
    int error = replaces && fchmod(fd, existing.st_mode & 07777) != 0 ? errno : 0;
    for (size_t done = 0; error == 0 && done < text.size();) {
        const ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put <= 0)
            error = put < 0 ? errno : EIO;
        else
            done += static_cast<size_t>(put);
    }
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temp.c_str());
        errno = error;
    }
    return error == 0;
}
