#include "client_settings.h"

#include "platform/address.h"
#include "platform/files.h"

#include <cerrno>

std::string start_folder;

namespace {

std::string first_word(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) return "";
    return text.substr(start, text.find_first_of(" \t", start) - start);
}

} // namespace

void client_settings_read(client_request* request) {
    settings_report report;
    client_setting_table().read(client_settings_key, request, &report);
    report.show();
}

void client_settings_save(const client_request& request) {
    client_setting_table().write(client_settings_key, request);
}

std::string client_request_check(client_request* r) {
    r->Hostname = first_word(r->Hostname);
    if (r->Hostname.empty()) return "Please provide a TFTP server host.";
    std::string host;
    int port = 0;
    if (!host_port_split(r->Hostname, &host, &port))
        return "The server '" + r->Hostname +
               "' must be HOST, HOST:PORT or [IPv6]:PORT, with a port from 1 to 65535.";
    if (r->Action == 0) {
        if (r->LocalFile.empty()) return "Please provide a valid local filename.";
        if (r->LocalFile != standard_stream_name && !file_readable(r->LocalFile))
            return "Failed to open '" + r->LocalFile + "' for reading: " + error_text(errno) + ".";
    }
    if (r->RemoteFile.empty()) return "Please provide a remote file name.";
    if (r->Action == 1 && r->LocalFile.empty()) r->LocalFile = start_folder + "/" + r->RemoteFile;
    return "";
}
