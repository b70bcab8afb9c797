#include "run_external.h"

#include "command_runner.h"
#include "diag/trace.h"
#include "engine/packet.h"
#include "engine/transfer.h"
#include "platform/folders.h"
#include "settings.h"

namespace {

std::string replace_marks(const std::string& text, const std::string& path) {
    std::string out;
    for (char c : text) {
        if (c == '?')
            out += path;
        else
            out += c;
    }
    return out;
}

} // namespace

std::vector<std::string> command_words(const std::string& command, const std::string& path) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false, quoted = false;
    for (char c : command) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_word) words.push_back(replace_marks(word, path));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(replace_marks(word, path));
    return words;
}

std::string command_refusal(const server_settings& settings) {
    return settings.RunExternal == 1 && settings.RunExternalExe.empty()
               ? "Please provide a command to run after each uploaded file."
               : "";
}

void command_keep(transfer& t, const server_settings& settings) {
    if (settings.RunExternal == 1) t.after_upload = settings.RunExternalExe;
}

void TFTP_RunExternal(const transfer& t) {
    if (t.kind != OP_WRQ || !t.after_upload) return;
    const std::string path = native_path(t.path);
    const std::string& command = *t.after_upload;
    std::string line = replace_marks(command, path);
    if (path.size() + command.size() >= command_line_room || line.size() >= command_line_room) {
        trace_line("TFTP_RunExternal: External command might be too long. Not attempting it.");
        return;
    }
    // Never through a shell: the path comes from the client's request.
    command_run(command_words(command, path), line);
}
