#include "client_window_layout.h"

#include "client_controls.h"

using namespace tftpc_controls;

window_layout client_window_layout() {
    // The title is the program's name as its users know it; the release is in --version.
    return {"TFTPC",
            "PelloryTFTP client v1.0",
            "client",
            300,
            242,
            {
                picture(-1, "client", 7, 5),
                label("TFTP server", 32, 13, 44),
                field(IDC_HOST, 80, 11, 213),

                frame("Operation", 7, 30, 286, 82),
                label("Action", 14, 44, 56),
                choice(IDC_UPLOAD, "Upload", 74, 43, 50),
                choice(IDC_DOWNLOAD, "Download", 128, 43, 60),
                label("Remote file", 14, 60, 56),
                field(IDC_REMOTE_FILE, 74, 58, 212),
                label("Local file", 14, 77, 56),
                field(IDC_LOCAL_FILE, 74, 75, 190),
                chooser_button(IDC_LOCAL_FILE_CHOOSER, 268, 75),
                label("Transfer mode", 14, 95, 56),
                choice(IDC_ASCII, "ASCII", 74, 94, 50),
                choice(IDC_BINARY, "Binary", 128, 94, 50),

                frame("Connection options", 7, 116, 286, 66),
                check_box(IDC_LOG_TRACES, "Log traces to file", 14, 130, 80),
                field(IDC_TRACE_FILE, 98, 128, 166),
                chooser_button(IDC_TRACE_FILE_CHOOSER, 268, 128),
                label("Packet timeout", 14, 147, 56),
                drop_down(IDC_PACKET_TIMEOUT, 72, 145, 36),
                label("seconds", 112, 147, 34),
                label("IP version", 168, 147, 40),
                drop_down(IDC_IP_VERSION, 212, 145, 74),
                check_box(IDC_EXTENSIONS, "TFTP extensions: blocks of", 14, 164, 104),
                field(IDC_BLOCK_SIZE, 120, 162, 34),
                label("bytes, window of", 158, 164, 58),
                field(IDC_WINDOW_SIZE, 218, 162, 28),
                label("blocks", 250, 164, 30),

                progress_bar(IDC_PROGRESS, 7, 188, 230, 12),
                sentence(IDC_RATE, "", 241, 190, 52, true),

                push_button(IDC_START, "&Start", 133, 206),
                push_button(IDC_STOP, "S&top", 188, 206),
                push_button(IDC_CLOSE, "&Close", 243, 206),
                status_line(IDC_STATUS, "PelloryTFTP client started.", 7, 226, 286),
            }};
}
