// The controls of the server window "TFTPS", by identifier.
#pragma once

namespace tftps_controls {

enum : int {
    IDC_ALLOW_UPLOAD = 1002,
    IDC_ALLOW_DOWNLOAD = 1003,
    IDC_NO_OVERWRITE = 1004,
    IDC_TRACE = 1005,
    IDC_RESTRICT_UPLOAD = 1006,
    IDC_RESTRICT_DOWNLOAD = 1007,
    IDC_SERVICE_ONLY = 1008,
    IDC_RUN_EXTERNAL = 1009,
    IDC_TIMEOUT = 1012,
    IDC_UPLOAD_ROOT = 1013,
    IDC_DOWNLOAD_ROOT = 1014,
    IDC_COMMAND = 1015,
    IDC_TRACE_CHOOSER = 1016,
    IDC_DOWNLOAD_ROOT_CHOOSER = 1017,
    IDC_ACCESS_LISTS = 1018,
    IDC_CLOSE = 1019,
    IDC_SAVE = 1020,
    IDC_RESET = 1021,
    IDC_UPLOAD_ROOT_CHOOSER = 1022,
    IDC_ENABLE = 1023,
    IDC_COMMAND_CHOOSER = 1024,
    IDC_STATUS_ICON = 1025,
    IDC_STATUS_SENTENCE = 1026,
    IDC_STATUS = 1027,
    // The access dialog "TFTPIPS".
    IDC_INDIVIDUAL_CLIENTS = 1030,
    IDC_CLIENT_RANGES = 1031,
    IDC_CLIENT_MASKS = 1032,
    IDC_ACCESS_OK = 1033,
    IDC_ACCESS_CANCEL = 1034,
    // The extensions and their limits.
    IDC_EXTENSIONS = 1040,
    IDC_MAX_BLOCK_SIZE = 1041,
    IDC_MAX_WINDOW_SIZE = 1042,
    // Where the server listens and the ports it serves transfers from.
    IDC_LISTEN_ADDRESSES = 1043,
    IDC_LISTEN_FAMILY = 1044,
    IDC_PORT_RANGE = 1045,
    // How many transfers run at once, in all and for one client address.
    IDC_MAX_TRANSFERS = 1046,
    IDC_MAX_PER_CLIENT = 1047,
    // The list of recent transfers, and the count of requests answered busy under it.
    IDC_RECENT_TRANSFERS = 1048,
    IDC_BUSY_ANSWERS = 1049,
    // The port the server listens on.
    IDC_PORT = 1050,
    // The mask uploaded files' permissions are taken through.
    IDC_UMASK = 1051,
    // How many post-upload commands run at once.
    IDC_MAX_COMMANDS = 1052,
    // Whether names with a part that begins with "." are served.
    IDC_HIDDEN_FILES = 1053,
    // Headless on a terminal: the totals of the running transfers, redrawn in place.
    IDC_TOTALS = 1054,
    // How many earlier versions of a file an upload replaces are kept.
    IDC_KEEP_VERSIONS = 1055,
    // Whether a download's name matches a file whose name differs only in case.
    IDC_IGNORE_CASE = 1056,
    // Whether each client has a folder of its own beneath the root, by address or hardware address.
    IDC_CLIENT_FOLDERS = 1057,
    // The file every request is recorded in, a JSON object a line.
    IDC_RECORDS_FILE = 1058,
    // The file of the rules that rewrite the names clients ask for.
    IDC_REMAP_FILE = 1059,
    // Whether every transfer is served from the listening port.
    IDC_SINGLE_PORT = 1060,
    IDD_ACCESS_LISTS = 1100,
};

} // namespace tftps_controls

// What the status icon control shows.
inline constexpr const char* ICON_ENABLED = "enabled";
inline constexpr const char* ICON_DISABLED = "disabled";
