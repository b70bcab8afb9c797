// The controls of the client window "TFTPC", by identifier.
#pragma once

namespace tftpc_controls {

enum : int {
    IDC_HOST = 102,
    IDC_LOG_TRACES = 103,
    IDC_TRACE_FILE = 104,
    IDC_TRACE_FILE_CHOOSER = 105,
    IDC_UPLOAD = 106,
    IDC_DOWNLOAD = 107,
    IDC_REMOTE_FILE = 108,
    IDC_LOCAL_FILE_CHOOSER = 109,
    IDC_LOCAL_FILE = 110,
    IDC_ASCII = 111,
    IDC_BINARY = 112,
    IDC_STOP = 113,
    IDC_START = 114,
    IDC_CLOSE = 115,
    IDC_STATUS = 116,
    IDC_PACKET_TIMEOUT = 126,
    // The extensions: the box and the block and window sizes asked for.
    IDC_EXTENSIONS = 127,
    IDC_BLOCK_SIZE = 128,
    IDC_WINDOW_SIZE = 129,
    // Which IP family the server's name is resolved to: any, IPv4 only, IPv6 only.
    IDC_IP_VERSION = 130,
    // The transfer's progress bar (its text: the bytes moved and the share done) and its rate.
    IDC_PROGRESS = 131,
    IDC_RATE = 132,
};

} // namespace tftpc_controls
