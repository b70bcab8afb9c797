#include "server_window_layout.h"

#include "platform/privileges.h"
#include "server_controls.h"

#include <algorithm>

using namespace tftps_controls;

window_layout server_window_layout() {
    // The title is the program's name as its users know it; the release is on the status line.
    window_layout layout{
        "TFTPS",
        "PelloryTFTP server v1.0",
        "server",
        346,
        454,
        {
            frame("Status", 7, 4, 332, 34),
            picture(IDC_STATUS_ICON, ICON_DISABLED, 14, 14),
            sentence(IDC_STATUS_SENTENCE, "The Trivial FTP server is currently disabled.", 42, 21,
                     290),

            frame("Options", 7, 42, 332, 184),
            check_box(IDC_ALLOW_UPLOAD, "Allow uploads", 14, 54, 140),
            check_box(IDC_ALLOW_DOWNLOAD, "Allow downloads", 170, 54, 140),
            check_box(IDC_NO_OVERWRITE, "Do not overwrite existing files", 14, 67, 150),
            check_box(IDC_HIDDEN_FILES, "Serve hidden files (.name)", 170, 67, 140),
            check_box(IDC_SERVICE_ONLY, "Service only clients", 14, 81, 120),
            check_box(IDC_IGNORE_CASE, "Names in any case", 170, 81, 130),
            chooser_button(IDC_ACCESS_LISTS, 314, 79, true),
            check_box(IDC_RESTRICT_UPLOAD, "Restrict uploads to folder", 14, 97, 122),
            field(IDC_UPLOAD_ROOT, 140, 95, 170, true),
            chooser_button(IDC_UPLOAD_ROOT_CHOOSER, 314, 95, true),
            check_box(IDC_RESTRICT_DOWNLOAD, "Restrict downloads to folder", 14, 113, 122),
            field(IDC_DOWNLOAD_ROOT, 140, 111, 170, true),
            chooser_button(IDC_DOWNLOAD_ROOT_CHOOSER, 314, 111, true),
            check_box(IDC_RUN_EXTERNAL, "Launch after every upload", 14, 129, 122),
            field(IDC_COMMAND, 140, 127, 170, true),
            chooser_button(IDC_COMMAND_CHOOSER, 314, 127, true),
            label("Keep", 14, 147, 20),
            field(IDC_KEEP_VERSIONS, 36, 145, 22),
            label("earlier versions", 62, 147, 74),
            label("at most", 140, 147, 28),
            field(IDC_MAX_COMMANDS, 170, 145, 26, true),
            label("at once, further ones wait their turn", 200, 147, 132),
            label("Timeout", 14, 161, 30),
            drop_down(IDC_TIMEOUT, 46, 159, 34),
            label("second(s)", 84, 161, 36),
            check_box(IDC_TRACE, "Log all activity to file", 214, 160, 96),
            chooser_button(IDC_TRACE_CHOOSER, 314, 159, true),
            check_box(IDC_EXTENSIONS, "TFTP extensions (block size, window, transfer size)", 14,
                      177, 296),
            label("Largest block", 14, 193, 50),
            field(IDC_MAX_BLOCK_SIZE, 66, 191, 34),
            label("bytes, window", 104, 193, 50),
            field(IDC_MAX_WINDOW_SIZE, 156, 191, 26),
            label("blocks", 186, 193, 30),
            label("Client folders", 222, 193, 52),
            drop_down(IDC_CLIENT_FOLDERS, 276, 191, 56),
            label("Remap names by the rules in", 14, 209, 104),
            field(IDC_REMAP_FILE, 120, 207, 212, false, "no rules"),

            frame("Network", 7, 230, 332, 66),
            label("Listen on", 14, 244, 82),
            field(IDC_LISTEN_ADDRESSES, 98, 242, 150, false, "every address"),
            drop_down(IDC_LISTEN_FAMILY, 252, 242, 80),
            label("Port", 14, 261, 82),
            field(IDC_PORT, 98, 259, 34),
            label("transfers from", 136, 261, 50),
            field(IDC_PORT_RANGE, 188, 259, 144, false, "any port, or a range: 50000:50099"),
            label("Simultaneous transfers", 14, 278, 82),
            field(IDC_MAX_TRANSFERS, 98, 276, 34),
            label("at most", 136, 278, 28),
            field(IDC_MAX_PER_CLIENT, 166, 276, 34),
            label("per client", 204, 278, 50),
            check_box(IDC_SINGLE_PORT, "One port for all", 258, 277, 74),

            frame("Recent transfers", 7, 300, 332, 108),
            table(IDC_RECENT_TRANSFERS, "Time\tClient\tFile\tDirection\tBytes\tSeconds\tResult",
                  14, 312, 318, 62),
            label("Record every request to file", 14, 380, 104),
            field(IDC_RECORDS_FILE, 120, 378, 212, false, "no records"),
            sentence(IDC_BUSY_ANSWERS, "0 requests answered busy", 14, 395, 318),

            push_button(IDC_ENABLE, "&Enable server", 7, 414, 79),
            push_button(IDC_SAVE, "&Save options", 91, 414, 79),
            push_button(IDC_RESET, "&Reset options", 175, 414, 79),
            push_button(IDC_CLOSE, "&Close", 260, 414, 79),
            status_line(IDC_STATUS, "PelloryTFTP server v" PELL_VERSION, 7, 434, 332),
            }};
    // The mask of new files, only where files have owners and permission bits: Windows gives a
    // new file its folder's permissions.
    if (users_own_files) {
        auto before_trace = std::find_if(layout.controls.begin(), layout.controls.end(),
                                         [](const window_control& c) { return c.id == IDC_TRACE; });
        layout.controls.insert(before_trace, {label("New files' mask", 124, 161, 60),
                                              field(IDC_UMASK, 186, 159, 24, false, "022")});
    }
    return layout;
}

window_layout access_dialog_layout() {
    return {"TFTPIPS",
            "Serviceable clients",
            "server",
            290,
            160,
            {
                label("Enter addresses of clients which are allowed to use this server.\n"
                      "Separate entries with commas.",
                      7, 7, 276, 18),
                label("Individual clients\n(IPv4 or IPv6 addresses, or FQDNs)", 7, 30, 136, 26),
                text_area(IDC_INDIVIDUAL_CLIENTS, 146, 30, 137, 30),
                label("IP address ranges\n(like 10.0.20.1 - 10.0.25.254\nor 2001:db8::1 - "
                      "2001:db8::ff)",
                      7, 66, 136, 26),
                text_area(IDC_CLIENT_RANGES, 146, 66, 137, 30),
                label("IP address masks\n(like 10.0.20.*, 10.0.20.0/24\nor 2001:db8::/48)", 7, 102,
                      136, 26),
                text_area(IDC_CLIENT_MASKS, 146, 102, 137, 30),
                push_button(IDC_ACCESS_OK, "OK", 179, 140),
                push_button(IDC_ACCESS_CANCEL, "Cancel", 233, 140),
            }};
}
