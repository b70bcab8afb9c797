#include "request.h"

#include "diag/progress.h"
#include "diag/report.h"
#include "diag/trace.h"
#include "engine/exchange.h"
#include "engine/file_layer.h"
#include "engine/packet.h"
#include "engine/transfer.h"
#include "filename_policy.h"
#include "platform/files.h"
#include "settings.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

int refuse(transfer& t, int code, const char* text) {
    send_ERROR(t, code, text);
    return -1;
}

// The text from at up to its NUL, which must lie before end; false when there is none.
bool terminated_text(const uint8_t* at, const uint8_t* end, std::string* text) {
    const uint8_t* nul = std::find(at, end, 0);
    if (nul == end) return false;
    text->assign(reinterpret_cast<const char*>(at), static_cast<size_t>(nul - at));
    return true;
}

// Refuses with its ERROR (-1) a path that the permissions do not allow; 0 when they do.
int check_permissions(transfer& t, int kind, const std::string& path) {
    if (kind == OP_RRQ) {
        if (AllowDownload != 1) return refuse(t, 2, "File download permission denied.");
        if (!path_exists(path)) return refuse(t, 1, "File not found.");
        if (!path_readable(path)) return refuse(t, 2, "Unable to read from the file.");
        return 0;
    }
    if (AllowUpload != 1) return refuse(t, 2, "File upload permission denied.");
    bool exists = path_exists(path);
    if (exists && AllowOverwrite == 1) return refuse(t, 2, "File overwrite permission denied.");
    if (exists && path_read_only(path)) return refuse(t, 2, "Unable to write to the file.");
    return 0;
}

} // namespace

int recv_xRQ(transfer& t, int kind, const uint8_t* data, int length) {
    const uint8_t* end = data + length;
    std::string name, mode;
    if (!terminated_text(data, end, &name))
        report_peer_fault("recv_xRQ: Invalid filename was requested.");
    if (!terminated_text(data + name.size() + 1, end, &mode))
        report_peer_fault("recv_xRQ: Invalid mode requested.");
    // Neither may be longer than its field; such a request is refused like a bad name.
    if (mode.size() > request_field_limit) return refuse(t, 2, "File request failed.");
    std::transform(mode.begin(), mode.end(), mode.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (mode == "netascii")
        t.mode = MODE_NETASCII;
    else if (mode == "octet")
        t.mode = MODE_OCTET;
    else
        return refuse(t, 4, "Mode isn't netascii or octet.");

    trace_line("recv_xRQ: Detected %s request from %s for %s.", kind == OP_RRQ ? "read" : "write",
               t.peer_host.c_str(), name.c_str());
    if (tftp_checkfilename(name, kind) < 0) return refuse(t, 2, "File request failed.");
    std::string path = local_path(name);
    if (check_permissions(t, kind, path) < 0) return -1;

    if (!file_open(t, path, kind == OP_RRQ ? "r" : "w", 0))
        return refuse(t, 2, "Failed to open file.");
    t.kind = kind;
    t.meter->kind = kind;
    progress_start(t.meter);
    return 0;
}

int read_request(transfer& t, const uint8_t* packet, int length) {
    if (recv_xRQ(t, OP_RRQ, packet, length) < 0) return -1;
    t.last_data_size = block_size;
    // As if the client had acknowledged block 0: this reads and sends DATA block 1.
    const uint8_t ack_zero[2] = {0, 0};
    recv_ACK(t, ack_zero, 2);
    return 0;
}

int write_request(transfer& t, const uint8_t* packet, int length) {
    if (recv_xRQ(t, OP_WRQ, packet, length) < 0) return -1;
    t.nextblknum = 1;
    send_ACK(t, 0);
    return 0;
}
