#include "request_records.h"

#include "engine/options.h"
#include "engine/packet.h"
#include "engine/transfer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/journal.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

namespace {

std::mutex records_mutex;
FILE* records = nullptr; // guarded by records_mutex
std::string records_path;

// A text as a JSON string.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Now, in ISO 8601 with the zone's offset: "2026-12-09T20:24:00+01:00". The offset is reckoned
// rather than taken from strftime's %z, which Windows' runtime writes as the zone's name.
std::string now_text() {
    const std::time_t now = std::time(nullptr);
    std::tm local{}, utc{};
#ifdef _WIN32
    localtime_s(&local, &now);
    gmtime_s(&utc, &now);
#else
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
#endif
    utc.tm_isdst = local.tm_isdst;
    const long offset = std::lround(std::difftime(now, std::mktime(&utc)) / 60);
    char text[48], zone[48];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::labs(offset) / 60, std::labs(offset) % 60);
    std::string iso = text;
    iso += zone;
    return iso;
}

// One record: its fields in the order they are added, each as JSON and as plain text. Built by
// appending: MinGW's GCC 12 reads a literal added before a string as an overlapping copy.
class record {
  public:
    record& text(const char* name, const std::string& value) {
        fields_.push_back({name, quoted(value), value});
        return *this;
    }
    record& member(const char* name, const std::string& json) {
        fields_.push_back({name, json, json});
        return *this;
    }
    // A JSON object.
    std::string json() const {
        std::string out = "{";
        for (const field& f : fields_) {
            if (out.size() > 1) out += ',';
            out += '"';
            out += f.name;
            out += "\":";
            out += f.json;
        }
        return out + "}";
    }
    // The journal's fields: TFTP_ and the name in capitals.
    std::vector<journal_field> journal() const {
        std::vector<journal_field> out;
        for (const field& f : fields_) {
            std::string name = "TFTP_";
            for (const char c : f.name)
                name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            out.push_back({name, f.plain});
        }
        return out;
    }

  private:
    struct field {
        std::string name, json, plain;
    };
    std::vector<field> fields_;
};

std::string options_object(const option_set& set) {
    record object;
    for (const option_value& v : set.values) {
        const std::string text = options_text(option_set{{v}});
        const std::string name = text.substr(0, text.find(' '));
        object.member(name.c_str(), std::to_string(v.value));
    }
    return object.json();
}

std::string seconds_text(const transfer& t) {
    stopwatch watch = t.watch;
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", t_elapsed(watch));
    return text;
}

void write_line(const std::string& line) {
    std::lock_guard<std::mutex> lock(records_mutex);
    if (!records) return;
    std::fputs(line.c_str(), records);
    std::fputc('\n', records);
    std::fflush(records);
}

record transfer_record(const transfer& t) {
    using kind = transfer_outcome::kind;
    const kind how = t.outcome.how;
    const char* result = how == kind::completed   ? "completed"
                         : how == kind::refused   ? "refused"
                         : how == kind::timed_out ? "timed out"
                         : how == kind::ended     ? "ended"
                         : how == kind::stopped   ? "stopped"
                                                  : "failed";
    record r;
    r.text("time", now_text())
        .text("client", address_text(t.peer))
        .member("client_port", std::to_string(t.peer.port))
        .text("server", address_text(t.local))
        .text("file", t.file_name)
        .text("served", t.path)
        .text("direction", t.kind == OP_WRQ ? "upload" : "download")
        .text("mode", t.mode == MODE_NETASCII ? "netascii" : "octet")
        .member("options_asked", options_object(t.asked))
        .member("options_agreed", options_object(t.agreed))
        .member("bytes", std::to_string(t.meter->bytes.load()))
        .member("seconds", seconds_text(t))
        .text("result", result)
        .text("error", t.outcome.text);
    return r;
}

} // namespace

bool records_open(const std::string& path) {
    std::lock_guard<std::mutex> lock(records_mutex);
    if (records) std::fclose(records);
    records = nullptr;
    records_path = path;
    if (path.empty()) return true;
    records = log_open(path);
    return records != nullptr;
}

std::string records_path_now() {
    std::lock_guard<std::mutex> lock(records_mutex);
    return records_path;
}

void records_reopen() {
    std::lock_guard<std::mutex> lock(records_mutex);
    if (!records) return;
    std::fclose(records);
    records = log_open(records_path);
}

void record_transfer(const transfer& t) {
    if (records_path_now().empty()) return;
    write_line(transfer_record(t).json());
}

bool journal_transfer(const transfer& t, const std::string& said) {
    return journal_connected() && journal_send(said, transfer_record(t).journal());
}

void record_turned_away(const net_endpoint& client, const std::string& result, int64_t count) {
    write_line(record()
                   .text("time", now_text())
                   .text("client", address_text(client))
                   .member("client_port", std::to_string(client.port))
                   .text("result", result)
                   .member("requests", std::to_string(count))
                   .json());
}
