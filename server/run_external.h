// The post-upload command: after every completed upload the configured command runs with the
// uploaded file's path in place of each "?".
#pragma once

#include <string>
#include <vector>

// The command line's room, its terminator included.
constexpr size_t command_line_room = 260;

struct transfer;

struct server_settings;

// Why the settings' command cannot run: "" when it can, or when none is to run.
std::string command_refusal(const server_settings& settings);
// An upload keeps the command as the settings of its request have it, whatever changes later.
void command_keep(transfer& t, const server_settings& settings);
// Runs the command after a completed upload, as the settings stood at its request; nothing after
// a download or with the option off.
void TFTP_RunExternal(const transfer& t);
// The command split into words (double quotes keep blanks inside one), each "?" inside a word
// replaced by path: the path is always one whole argument.
std::vector<std::string> command_words(const std::string& command, const std::string& path);
