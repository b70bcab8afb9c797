// The client's transfer request: the value the window and the command line build, check and hand
// to the session, and the table that describes each of its settings once (the name it is stored
// under, its range, its flag and help line, its control in the window). Each member starts at its
// factory value. The window stores its settings when it closes and shows them when it opens; the
// command line starts from the factory values.
#pragma once

#include "client_controls.h"
#include "engine/options.h"
#include "settings/setting_table.h"
#include "ui/timeout_list.h"

#include <string>

struct client_request {
    std::string Hostname; // HOST, HOST:PORT or [IPv6]:PORT
    int Action = 1;       // 0 upload, 1 download
    std::string RemoteFile;
    std::string LocalFile;
    int Mode = 1; // 0 ASCII (netascii), 1 binary (octet)
    int LogTraces = 0;
    std::string TraceFile;
    int Timeout = timeout_max_seconds;
    // The TFTP extensions, and the block and window asked for: a block that fits an Ethernet
    // frame, a window that a small switch's queue takes.
    int Extensions = 0;
    int BlockSize = 1468;
    int WindowSize = 16;
    int IPVersion = 0; // the family the server's name is resolved to: 0 any, 1 IPv4, 2 IPv6
    int port = 0;      // replaces the service's port for this transfer (none is stored)
};

using client_row = setting_row<client_request>;

// Every setting of the client, and every option of its command line, in the order of --help.
inline const setting_table<client_request>& client_setting_table() {
    using r = client_request;
    using enum setting_kind;
    using enum setting_control;
    using namespace tftpc_controls;
    static const setting_table<client_request> table({
        {.name = "Hostname",
         .kind = text,
         .text = &r::Hostname,
         .control_kind = field,
         .control = IDC_HOST,
         .limit = 126},
        {.name = nullptr, .kind = option, .flag = "get", .help = "download REMOTE from HOST"},
        {.name = nullptr, .kind = option, .flag = "put", .help = "upload LOCAL to HOST"},
        {.name = "Action",
         .kind = word,
         .number = &r::Action,
         .words = {"Upload", "Download"},
         .control_kind = choice_pair,
         .control = IDC_UPLOAD,
         .second = IDC_DOWNLOAD,
         .on_text = "Files will be transferred to the server.",
         .off_text = "Files will be transferred from the server."},
        {.name = "RemoteFile",
         .kind = text,
         .text = &r::RemoteFile,
         .control_kind = field,
         .control = IDC_REMOTE_FILE,
         .limit = 126},
        {.name = "LocalFile",
         .kind = text,
         .text = &r::LocalFile,
         .control_kind = field,
         .control = IDC_LOCAL_FILE,
         .limit = 126},
        {.name = "Mode",
         .kind = word,
         .number = &r::Mode,
         .words = {"Ascii", "Binary"},
         .flag = "ascii",
         .help = "netascii mode, for text (default: octet, for anything)",
         .apply = [](r* v, const command_line&) { v->Mode = 0; },
         .control_kind = choice_pair,
         .control = IDC_ASCII,
         .second = IDC_BINARY,
         .on_text = "Files will be transferred in text mode.",
         .off_text = "Files will be transferred in binary mode."},
        {.name = "Timeout",
         .kind = number,
         .number = &r::Timeout,
         .low = timeout_min_seconds,
         .high = timeout_max_seconds,
         .flag = "timeout",
         .value_name = "S",
         .help = "packet timeout in seconds, 2 to 120 (default: 120)",
         .wanted = "a number of seconds from 2 to 120",
         .control_kind = timeout_list,
         .control = IDC_PACKET_TIMEOUT},
        {.name = nullptr,
         .kind = number,
         .number = &r::port,
         .low = 1,
         .high = 65535,
         .flag = "port",
         .value_name = "N",
         .help = "the server's port instead of the tftp port (69)",
         .wanted = "a port number from 1 to 65535"},
        {.name = "LogTraces",
         .kind = yes_no,
         .number = &r::LogTraces,
         .control_kind = check_box,
         .control = IDC_LOG_TRACES,
         .enables = {IDC_TRACE_FILE, IDC_TRACE_FILE_CHOOSER},
         .on_text = "Tracing has been enabled.",
         .off_text = "Tracing has been disabled."},
        {.name = "TraceFile",
         .kind = text,
         .text = &r::TraceFile,
         .flag = "log",
         .value_name = "FILE",
         .help = "append a timestamped trace of every step to FILE",
         .wanted = "a file name",
         .turns_on = "LogTraces",
         .control_kind = field,
         .control = IDC_TRACE_FILE},
        {.name = "Extensions",
         .kind = yes_no,
         .number = &r::Extensions,
         .flag = "extensions",
         .help = "ask for the TFTP extensions: blocks of 1468 bytes, a\nwindow of 16, the file's "
                 "size",
         .control_kind = check_box,
         .control = IDC_EXTENSIONS,
         .enables = {IDC_BLOCK_SIZE, IDC_WINDOW_SIZE},
         .on_text = "Transfers will ask for larger blocks and windows.",
         .off_text = "Transfers will use plain TFTP."},
        {.name = "BlockSize",
         .kind = number,
         .number = &r::BlockSize,
         .low = blksize_min,
         .high = blksize_max,
         .flag = "blksize",
         .value_name = "N",
         .help = "ask for blocks of N bytes, 8 to 65464 (implies\n--extensions)",
         .wanted = "a block size from 8 to 65464",
         .turns_on = "Extensions",
         .control_kind = field,
         .control = IDC_BLOCK_SIZE,
         .refusal = "The block size must be a number from 8 to 65464."},
        {.name = "WindowSize",
         .kind = number,
         .number = &r::WindowSize,
         .low = 1,
         .high = window_size_limit,
         .flag = "windowsize",
         .value_name = "N",
         .help = "ask for a window of N blocks, 1 to 512 (implies\n--extensions)",
         .wanted = "a window size from 1 to 512",
         .turns_on = "Extensions",
         .control_kind = field,
         .control = IDC_WINDOW_SIZE,
         .refusal = "The window size must be a number from 1 to 512."},
        {.name = "IPVersion",
         .kind = word,
         .number = &r::IPVersion,
         .words = {"Any", "IPv4 only", "IPv6 only"},
         .control_kind = list,
         .control = IDC_IP_VERSION},
        {.name = nullptr,
         .kind = option,
         .flag = "4",
         .help = "use IPv4 only",
         .apply = [](r* v, const command_line&) { v->IPVersion = 1; }},
        {.name = nullptr,
         .kind = option,
         .flag = "6",
         .help = "use IPv6 only",
         .apply = [](r* v, const command_line&) { v->IPVersion = 2; }},
        {.name = nullptr,
         .kind = option,
         .flag = "verbose",
         .help = "print every status line, as the window shows them"},
    });
    return table;
}

inline constexpr const char* client_settings_key = "SOFTWARE\\Drumvale\\PelloryTFTP client";

// The folder that was current when the program started: a download goes there by default.
extern std::string start_folder;

// Reads the stored settings over request; what cannot be used is said once.
void client_settings_read(client_request* request);
// Stores the request's settings.
void client_settings_save(const client_request& request);
// Why the request cannot be made, or "" when it can. Its host is taken to its first word, and a
// download without a local file goes to the folder the program started in.
std::string client_request_check(client_request* request);
