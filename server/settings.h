// The server's settings: the value the window and the headless server build, check and hand to
// the server, and the table that describes each setting once (the name it is stored under, its
// range, its flag and help line, its control in the window, the words that refuse it). Each
// member starts at its factory value. A request reads the value that serves when it comes.
#pragma once

#include "engine/options.h"
#include "engine/packet.h"
#include "listeners.h"
#include "platform/folders.h"
#include "platform/privileges.h"
#include "server_controls.h"
#include "settings/setting_table.h"
#include "transfer_ports.h"
#include "ui/timeout_list.h"

#include <atomic>
#include <memory>
#include <string>

struct server_settings {
    int ServerEnabled = 0;  // as stored: the window enables the server as it opens
    int AllowUpload = 0;
    int AllowDownload = 0;
    int AllowOverwrite = 0; // 1: an upload may not replace an existing file
    int HiddenFiles = 0;    // 1: names with a part that begins with "." are served too
    int KeepVersions = 0;   // the files an upload replaces, kept as NAME.1 to NAME.N
    int IgnoreCase = 0;     // 1: a download's name matches one that differs only in case
    int ClientFolders = 0;  // 1: ROOT/ADDRESS/NAME first, 2: ROOT/01-MAC/NAME first; 0: neither
    std::string RemapFile;  // the rules that rewrite the names asked for; empty: none
    std::string RecordsFile; // every request, a JSON object a line; empty: no records
    int TraceEnabled = 0;
    std::string TracePath;
    int RestrictUpload = 1;
    std::string RestrictUploadPath = served_folder_default(); // as the value is made
    int RestrictDownload = 1;
    std::string RestrictDownloadPath = served_folder_default();
    int RunExternal = 0;
    std::string RunExternalExe; // every "?" stands for the uploaded file's path
    int MaxCommands = 4;        // commands at once; further ones wait their turn
    int ServiceIP = 0;          // only the clients of the three lists are served
    std::string ServiceIPC, ServiceIPR, ServiceIPW;
    int Timeout = timeout_max_seconds;
    // The TFTP extensions (option negotiation, block-number rollover) and their limits.
    int Extensions = 0;
    int MaxBlockSize = blksize_max;
    int MaxWindowSize = 64;
    // Where the server listens: the IP families (0 both, 4 or 6 only), the port (the factory one
    // is TFTP's, which the service database gives), the addresses (none: every address of those
    // families), and the range of the transfers' ports ("LOW:HIGH", none: any).
    int ListenFamily = 0;
    int ListenPort = tftp_well_known_port;
    std::string ListenAddresses;
    std::string PortRange;
    int SinglePort = 0; // 1: every transfer from the listening port, told apart by the client's
    // How many transfers run at once (1: one, every further request is busy), and how many of
    // them one client address may have.
    int MaxTransfers = 1;
    int MaxPerClient = 8;
    // Started as root, headless, the server binds its ports and goes on as this user (none:
    // pellsd where that user exists, else nobody; "root" stays root).
    std::string User;
    // The mask new files' permissions are taken through, in octal ("022"); none: the process's.
    std::string Umask;
};

// The ranges of the limits.
constexpr int max_transfers_limit = 1024;
constexpr int max_commands_limit = 256;

// A mask of permissions in octal, 0 to 777; -1 for anything else.
int file_mask_parse(const std::string& text);

using server_row = setting_row<server_settings>;

// Every setting of the server, and every option of the headless server, in the order of --help.
inline const setting_table<server_settings>& server_setting_table() {
    using s = server_settings;
    using enum setting_kind;
    using enum setting_control;
    using namespace tftps_controls;
    static const setting_table<server_settings> table([] {
        // The lists given on the command line are the lists: one given leaves the others empty.
        auto* const lists_given = +[](s* v, const command_line& line) {
            if (!line.is_set("clients")) v->ServiceIPC.clear();
            if (!line.is_set("client-ranges")) v->ServiceIPR.clear();
            if (!line.is_set("client-masks")) v->ServiceIPW.clear();
        };
        std::vector<server_row> rows = {
            {.name = "ServerEnabled", .kind = yes_no, .number = &s::ServerEnabled},
            {.name = nullptr,
             .kind = option,
             .flag = "headless",
             .help = "serve from the console, without the window"},
            {.name = "ListenPort",
             .kind = number,
             .number = &s::ListenPort,
             .low = 1,
             .high = 65535,
             .flag = "port",
             .value_name = "N",
             .help = "listen on UDP port N instead of the tftp port (69)",
             .wanted = "a port number from 1 to 65535",
             .control_kind = field,
             .control = IDC_PORT,
             .refusal = "The port must be a number from 1 to 65535."},
            {.name = "ListenAddresses",
             .kind = text,
             .text = &s::ListenAddresses,
             .usable = [](const std::string& t) { return listen_addresses_usable(t); },
             .flag = "address",
             .value_name = "LIST",
             .help = "listen only on these addresses (commas between them;\nADDR:PORT and "
                     "[IPv6]:PORT give one a port of its own);\nan address the machine does not "
                     "have yet is waited for",
             .wanted = "a list of addresses",
             .control_kind = field,
             .control = IDC_LISTEN_ADDRESSES},
            {.name = nullptr,
             .kind = option,
             .flag = "ipv4",
             .help = "listen on IPv4 only (default: IPv4 and IPv6)",
             .apply = [](s* v, const command_line& line) {
                 v->ListenFamily = line.is_set("ipv6") ? 0 : 4;
             }},
            {.name = nullptr,
             .kind = option,
             .flag = "ipv6",
             .help = "listen on IPv6 only",
             .apply = [](s* v, const command_line& line) {
                 v->ListenFamily = line.is_set("ipv4") ? 0 : 6;
             }},
            {.name = "ListenFamily",
             .kind = number,
             .number = &s::ListenFamily,
             .low = 0,
             .high = 6,
             .words = {"IPv4 and IPv6", "IPv4 only", "IPv6 only"},
             .list_values = {0, 4, 6},
             .control_kind = list,
             .control = IDC_LISTEN_FAMILY},
            {.name = "PortRange",
             .kind = text,
             .text = &s::PortRange,
             .usable = [](const std::string& t) {
                 int low = 0, high = 0;
                 return port_range_parse(t, &low, &high);
             },
             .flag = "port-range",
             .value_name = "LOW:HIGH",
             .help = "serve each transfer from a port of LOW:HIGH, for a\nfirewall in front of the "
                     "server (default: any port)",
             .wanted = "a range of ports such as 50000:50099",
             .control_kind = field,
             .control = IDC_PORT_RANGE},
            {.name = "SinglePort",
             .kind = yes_no,
             .number = &s::SinglePort,
             .flag = "single-port",
             .help = "serve every transfer from the port the server listens on, told\napart by "
                     "the client's address and port, for a NAT or firewall\nthat forwards only "
                     "that one (not with --port-range)",
             .control_kind = check_box,
             .control = IDC_SINGLE_PORT,
             .on_text = "Every transfer will be served from the listening port.",
             .off_text = "Each transfer will be served from a port of its own."},
            {.name = nullptr,
             .kind = option,
             .flag = "root",
             .value_name = "DIR",
             .help = "serve downloads from and take uploads into DIR, names\nconfined below it "
                     "(default: the current folder)",
             .wanted = "a folder",
             .apply =
                 [](s* v, const command_line& line) {
                     v->RestrictUploadPath = v->RestrictDownloadPath = line.value("root");
                     v->RestrictUpload = v->RestrictDownload = 1;
                 }},
            {.name = "RestrictUpload",
             .kind = yes_no,
             .number = &s::RestrictUpload,
             .control_kind = check_box,
             .control = IDC_RESTRICT_UPLOAD,
             .enables = {IDC_UPLOAD_ROOT, IDC_UPLOAD_ROOT_CHOOSER},
             .on_text = "Uploads will be restricted to one folder.",
             .off_text = "Uploads can be made to any folder."},
            {.name = "RestrictUploadPath",
             .kind = text,
             .text = &s::RestrictUploadPath,
             .with = "RestrictUpload",
             .flag = "upload-root",
             .value_name = "DIR",
             .help = "take uploads into DIR, confined below it",
             .wanted = "a folder",
             .turns_on = "RestrictUpload",
             .control_kind = field,
             .control = IDC_UPLOAD_ROOT,
             .limit = 127},
            {.name = "RestrictDownload",
             .kind = yes_no,
             .number = &s::RestrictDownload,
             .control_kind = check_box,
             .control = IDC_RESTRICT_DOWNLOAD,
             .enables = {IDC_DOWNLOAD_ROOT, IDC_DOWNLOAD_ROOT_CHOOSER},
             .on_text = "Downloads will be restricted to one folder.",
             .off_text = "Downloads can be made from any folder."},
            {.name = "RestrictDownloadPath",
             .kind = text,
             .text = &s::RestrictDownloadPath,
             .with = "RestrictDownload",
             .flag = "download-root",
             .value_name = "DIR",
             .help = "serve downloads from DIR, confined below it",
             .wanted = "a folder",
             .turns_on = "RestrictDownload",
             .control_kind = field,
             .control = IDC_DOWNLOAD_ROOT,
             .limit = 127},
            {.name = nullptr,
             .kind = option,
             .flag = "no-root-restriction",
             .help = "let absolute names reach any file this user can\n(a warning says so at "
                     "start)",
             .apply = [](s* v, const command_line&) { v->RestrictUpload = v->RestrictDownload = 0; }},
            {.name = "AllowDownload",
             .kind = yes_no,
             .number = &s::AllowDownload,
             .flag = "allow-download",
             .help = "let clients download files (default: refused)",
             .control_kind = check_box,
             .control = IDC_ALLOW_DOWNLOAD,
             .on_text = "Clients will be able to download files.",
             .off_text = "Clients will not be able to download files."},
            {.name = "AllowUpload",
             .kind = yes_no,
             .number = &s::AllowUpload,
             .flag = "allow-upload",
             .help = "let clients upload files (default: refused)",
             .control_kind = check_box,
             .control = IDC_ALLOW_UPLOAD,
             .on_text = "Clients will be able to upload files.",
             .off_text = "Clients will not be able to upload files."},
            {.name = "AllowOverwrite",
             .kind = yes_no,
             .number = &s::AllowOverwrite,
             .flag = "no-overwrite",
             .help = "refuse uploads that would replace an existing file",
             .control_kind = check_box,
             .control = IDC_NO_OVERWRITE,
             .on_text = "Client uploads will not be able to overwrite existing files.",
             .off_text = "Client uploads will be able to overwrite existing files."},
            {.name = "HiddenFiles",
             .kind = yes_no,
             .number = &s::HiddenFiles,
             .flag = "hidden-files",
             .help = "serve and take names with a part that begins with \".\" (hidden\nfiles and "
                     "folders such as .ssh), refused by default",
             .control_kind = check_box,
             .control = IDC_HIDDEN_FILES,
             .on_text = "Hidden files (names beginning with a dot) will be served.",
             .off_text = "Hidden files (names beginning with a dot) will be refused."},
            {.name = "RecordsFile",
             .kind = text,
             .text = &s::RecordsFile,
             .flag = "records",
             .value_name = "FILE",
             .help = "append a JSON line to FILE for every request: who, what was asked\nand "
                     "served, the options, bytes, seconds and the result",
             .wanted = "a file name",
             .control_kind = field,
             .control = IDC_RECORDS_FILE},
            {.name = "RemapFile",
             .kind = text,
             .text = &s::RemapFile,
             .flag = "remap",
             .value_name = "FILE",
             .help = "rewrite every name asked for by the rules in FILE, in the form\nof "
                     "tftpd-hpa's -m (flags, an expression, a replacement);\nread again on "
                     "SIGHUP",
             .wanted = "a file name",
             .control_kind = field,
             .control = IDC_REMAP_FILE},
            {.name = "ClientFolders",
             .kind = word,
             .number = &s::ClientFolders,
             .words = {"No", "IP", "MAC"},
             .flag = "client-folders",
             .value_name = "ip|mac",
             .help = "serve ROOT/ADDRESS/NAME (ip) or ROOT/01-aa-bb-cc-dd-ee-ff/NAME\n(mac, the "
                     "client's hardware address) where it exists, else\nROOT/NAME; uploads go to "
                     "the client's folder when it exists",
             .wanted = "ip, mac or no",
             .control_kind = list,
             .control = IDC_CLIENT_FOLDERS},
            {.name = "IgnoreCase",
             .kind = yes_no,
             .number = &s::IgnoreCase,
             .flag = "ignore-case",
             .help = "serve a file whose name differs from the one asked for only in\ncase when "
                     "that one does not exist (uploads keep the name as given)",
             .control_kind = check_box,
             .control = IDC_IGNORE_CASE,
             .on_text = "A name in any case will find its file.",
             .off_text = "Names will be matched exactly as written."},
            {.name = "ServiceIP",
             .kind = yes_no,
             .number = &s::ServiceIP,
             .control_kind = check_box,
             .control = IDC_SERVICE_ONLY,
             .enables = {IDC_ACCESS_LISTS},
             .on_text = "Only selected clients will have access.",
             .off_text = "The server may be accessed by any client."},
            {.name = "ServiceIPC",
             .kind = text,
             .text = &s::ServiceIPC,
             .with = "ServiceIP",
             .flag = "clients",
             .value_name = "LIST",
             .help = "serve only these hosts (names or addresses, separated\nby commas or "
                     "blanks), and",
             .wanted = "a list of hosts",
             .turns_on = "ServiceIP",
             .apply = lists_given},
            {.name = "ServiceIPR",
             .kind = text,
             .text = &s::ServiceIPR,
             .with = "ServiceIP",
             .flag = "client-ranges",
             .value_name = "LIST",
             .help = "the addresses in these ranges (10.0.0.1-10.0.0.9,\nseparated by commas), "
                     "and",
             .wanted = "a list of address ranges",
             .turns_on = "ServiceIP",
             .apply = lists_given},
            {.name = "ServiceIPW",
             .kind = text,
             .text = &s::ServiceIPW,
             .with = "ServiceIP",
             .flag = "client-masks",
             .value_name = "LIST",
             .help = "the addresses these masks match (10.0.20.*);\nany of the three lists turns "
                     "the restriction on",
             .wanted = "a list of address masks",
             .turns_on = "ServiceIP",
             .apply = lists_given},
            {.name = "RunExternal",
             .kind = yes_no,
             .number = &s::RunExternal,
             .control_kind = check_box,
             .control = IDC_RUN_EXTERNAL,
             .enables = {IDC_COMMAND, IDC_COMMAND_CHOOSER, IDC_MAX_COMMANDS},
             .on_text = "An external program will run after uploads.",
             .off_text = "No external progam will be launched."},
            {.name = "RunExternalExe",
             .kind = text,
             .text = &s::RunExternalExe,
             .with = "RunExternal",
             .flag = "run",
             .value_name = "CMD",
             .help = "after every completed upload run CMD, each ? in it\nreplaced by the "
                     "uploaded file's path; no shell is\ninvolved, double quotes keep blanks in "
                     "one argument",
             .wanted = "a command",
             .turns_on = "RunExternal",
             .control_kind = field,
             .control = IDC_COMMAND,
             .limit = 127},
            {.name = "MaxCommands",
             .kind = number,
             .number = &s::MaxCommands,
             .low = 1,
             .high = max_commands_limit,
             .flag = "max-commands",
             .value_name = "N",
             .help = "run at most N of those commands at once, 1 to 256\n(default: 4); further "
                     "ones wait their turn",
             .wanted = "a number of commands from 1 to 256",
             .control_kind = field,
             .control = IDC_MAX_COMMANDS,
             .refusal = "The commands at once must be a number from 1 to 256."},
            {.name = "KeepVersions",
             .kind = number,
             .number = &s::KeepVersions,
             .low = 0,
             .high = 99,
             .flag = "keep-versions",
             .value_name = "N",
             .help = "keep the file an upload replaces as NAME.1, the one before\nas NAME.2, up "
                     "to NAME.N, 0 to 99 (default: 0, none)",
             .wanted = "a number of versions from 0 to 99",
             .control_kind = field,
             .control = IDC_KEEP_VERSIONS,
             .refusal = "The versions kept must be a number from 0 to 99."},
            {.name = "Timeout",
             .kind = number,
             .number = &s::Timeout,
             .low = timeout_min_seconds,
             .high = timeout_max_seconds,
             .flag = "timeout",
             .value_name = "S",
             .help = "packet timeout in seconds, 2 to 120 (default: 120)",
             .wanted = "a number of seconds from 2 to 120",
             .control_kind = timeout_list,
             .control = IDC_TIMEOUT},
            {.name = "Extensions",
             .kind = yes_no,
             .number = &s::Extensions,
             .flag = "extensions",
             .help = "negotiate the TFTP extensions that clients ask for:\nlarger blocks, "
                     "windows, the transfer size, timeouts",
             .control_kind = check_box,
             .control = IDC_EXTENSIONS,
             .enables = {IDC_MAX_BLOCK_SIZE, IDC_MAX_WINDOW_SIZE},
             .on_text = "Clients may ask for larger blocks and windows.",
             .off_text = "Only plain TFTP will be spoken."},
            {.name = "MaxBlockSize",
             .kind = number,
             .number = &s::MaxBlockSize,
             .low = blksize_min,
             .high = blksize_max,
             .flag = "max-blksize",
             .value_name = "N",
             .help = "the largest block the server agrees to, 8 to 65464\n(default: 65464)",
             .wanted = "a block size from 8 to 65464",
             .control_kind = field,
             .control = IDC_MAX_BLOCK_SIZE,
             .refusal = "The largest block size must be a number from 8 to 65464."},
            {.name = "MaxWindowSize",
             .kind = number,
             .number = &s::MaxWindowSize,
             .low = 1,
             .high = window_size_limit,
             .flag = "max-windowsize",
             .value_name = "N",
             .help = "the largest window the server agrees to, 1 to 512\n(default: 64)",
             .wanted = "a window size from 1 to 512",
             .control_kind = field,
             .control = IDC_MAX_WINDOW_SIZE,
             .refusal = "The largest window size must be a number from 1 to 512."},
            {.name = "MaxTransfers",
             .kind = number,
             .number = &s::MaxTransfers,
             .low = 1,
             .high = max_transfers_limit,
             .flag = "max-transfers",
             .value_name = "N",
             .help = "run up to N transfers at once, 1 to 1024 (default: 1,\nevery further "
                     "request is answered busy)",
             .wanted = "a number of transfers from 1 to 1024",
             .control_kind = field,
             .control = IDC_MAX_TRANSFERS,
             .refusal = "The simultaneous transfers must be a number from 1 to 1024."},
            {.name = "MaxPerClient",
             .kind = number,
             .number = &s::MaxPerClient,
             .low = 1,
             .high = max_transfers_limit,
             .flag = "max-per-client",
             .value_name = "N",
             .help = "at most N of them for one client address (default: 8)",
             .wanted = "a number of transfers from 1 to 1024",
             .control_kind = field,
             .control = IDC_MAX_PER_CLIENT,
             .refusal = "The transfers per client must be a number from 1 to 1024."},
            {.name = "TraceEnabled",
             .kind = yes_no,
             .number = &s::TraceEnabled,
             .control_kind = check_box,
             .control = IDC_TRACE,
             .enables = {IDC_TRACE_CHOOSER},
             .on_text = "Tracing has been enabled.",
             .off_text = "Tracing has been disabled."},
            {.name = "TracePath",
             .kind = text,
             .text = &s::TracePath,
             .with = "TraceEnabled",
             .flag = "log",
             .value_name = "FILE",
             .help = "append a timestamped trace of every step to FILE",
             .wanted = "a file name",
             .turns_on = "TraceEnabled"},
            // Who owns a new file, and with what permissions, only where the system has such
            // things (their flags, and the mask's field).
            {.name = "User",
             .kind = text,
             .text = &s::User,
             .flag = users_own_files ? "user" : nullptr,
             .value_name = "USER",
             .help = "started as root, go on as USER once the ports are bound\n(default: pellsd "
                     "where that user exists, else nobody;\nroot stays root); uploads, the --run "
                     "command and a\nreload run as USER, who must be able to read the\nsettings "
                     "and the roots and write the upload root",
             .wanted = "a user name"},
            {.name = "Umask",
             .kind = text,
             .text = &s::Umask,
             .usable = [](const std::string& t) { return t.empty() || file_mask_parse(t) >= 0; },
             .instead = "the process's own",
             .flag = users_own_files ? "umask" : nullptr,
             .value_name = "MASK",
             .help = "take new files' permissions through MASK (octal,\n022: nobody else may "
                     "write them; default: the\nprocess's own)",
             .wanted = "an octal mask such as 022",
             .control_kind = field,
             .control = IDC_UMASK,
             .limit = 4,
             .refusal = "The permissions mask must be octal, such as 022."},
            {.name = nullptr,
             .kind = option,
             .flag = "save",
             .help = "store the settings, options included, once the server\nis enabled; the "
                     "window and later runs start from them"},
        };
        return rows;
    }());
    return table;
}

// Where the settings are stored.
inline constexpr const char* server_settings_key = "SOFTWARE\\Drumvale\\PelloryTFTP server";

// The factory value: every member's own, both roots at the current folder.
server_settings settings_factory();
// Reads the stored settings over value: what the store lacks keeps value's. What cannot be used
// is said once. False when there is no store at all: value stays as it was.
bool settings_read(server_settings* value);
// Stores the value, the server's state as ServerEnabled; false when the store did not take it.
bool settings_save(const server_settings& value, bool enabled);
// Why the value cannot serve, or "" when it can: a root of a direction allowed that is missing
// or no folder, an empty command, listening addresses or transfer ports that cannot be read, a
// mask that is not octal.
std::string server_settings_check(const server_settings& value);

// The value that serves now. Each request takes one and reads only it, so that a change meanwhile
// never shows it half made.
std::shared_ptr<const server_settings> settings_now();
// Serves with value from the next request on.
void settings_serve(const server_settings& value);

// Whether the server is enabled: the window's state, not a setting.
extern std::atomic<int> ServerEnabled;
// New files' permissions are taken through the value's mask from now on, or through the
// process's own mask when it has none.
void file_mask_apply(const server_settings& value);
