#include "request.h"

#include "diag/progress.h"
#include "diag/report.h"
#include "diag/trace.h"
#include "engine/endpoint.h"
#include "engine/exchange.h"
#include "engine/file_layer.h"
#include "engine/fsm.h"
#include "engine/options.h"
#include "engine/packet.h"
#include "engine/transfer.h"
#include "daemon.h"
#include "filename_policy.h"
#include "platform/files.h"
#include "platform/neighbours.h"
#include "remap_rules.h"
#include "roots.h"
#include "run_external.h"
#include "settings.h"
#include "transfer_board.h"
#include "ui/timeout_list.h"
#include "upload_claims.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace {

// The client's own folder beneath a confined root, by its address or its hardware address, when
// the settings give clients folders; empty when they do not, or the hardware address is unknown.
std::string client_folder(const transfer& t, const server_settings& s) {
    if (s.ClientFolders == 1) return file_name_of(address_text(t.peer));
    if (s.ClientFolders == 2) return neighbour_hardware_name(t.peer);
    return "";
}

// Where the request is served from: the client's folder first where it has one (a download, when
// the file is there; an upload, when the folder is), else the shared root.
file_place served_place(const transfer& t, int kind, const std::string& beneath,
                        const std::string& whole, const server_settings& s) {
    const std::string* root = direction_root(kind, s);
    const std::string folder = root ? client_folder(t, s) : "";
    if (!folder.empty()) {
        const std::string own = folder + "/" + beneath;
        const file_place place = root_place(kind, own, *root + "/" + own, s);
        const file_place tried = kind == OP_RRQ ? place : root_place(kind, folder, *root, s);
        if (path_exists(tried)) return place;
    }
    return root_place(kind, beneath, whole, s);
}

int refuse(transfer& t, int code, const char* text) {
    t.outcome = {transfer_outcome::kind::refused, text};
    send_ERROR(t, code, text);
    return -1;
}

// The name after the remap rules, confined like any other from here on; -1 when the rules refuse
// it or had to be cut off.
int remap(transfer& t, int kind, std::string* name) {
    const std::shared_ptr<const remap_rules> rules = remap_rules_now();
    if (!rules) return 0;
    remap_rules::outcome made = rules->apply(*name, kind, t.peer);
    if (made.result == remap_rules::outcome::kind::refused) {
        trace_line("recv_xRQ: The remap rules refuse %s.", name->c_str());
        return refuse(t, 2, "Access violation.");
    }
    if (made.result == remap_rules::outcome::kind::cut_off) {
        // The client hears what any refused name gets; the list, the row and the records say why.
        refuse(t, 2, "File request failed.");
        t.outcome.text = made.why;
        trace_line("recv_xRQ: %s for %s.", made.why.c_str(), name->c_str());
        return -1;
    }
    if (made.name != *name)
        trace_line("recv_xRQ: The remap rules make %s of %s.", made.name.c_str(), name->c_str());
    *name = made.name;
    return 0;
}

// Refuses with its ERROR (-1) a path that the permissions do not allow; 0 when they do.
int check_permissions(transfer& t, int kind, const file_place& path, const server_settings& s) {
    if (kind == OP_RRQ) {
        if (!direction_allowed(OP_RRQ, s)) return refuse(t, 2, "File download permission denied.");
        // A file the server's user may not reach is there all the same: not "not found".
        if (!path_exists(path))
            return errno == EACCES ? refuse(t, 2, "Unable to read from the file.")
                                   : refuse(t, 1, "File not found.");
        if (!path_readable(path)) return refuse(t, 2, "Unable to read from the file.");
        return 0;
    }
    if (!direction_allowed(OP_WRQ, s)) return refuse(t, 2, "File upload permission denied.");
    bool exists = path_exists(path);
    if (exists && s.AllowOverwrite == 1) return refuse(t, 2, "File overwrite permission denied.");
    if (exists && path_read_only(path)) return refuse(t, 2, "Unable to write to the file.");
    return 0;
}

// The largest window a transfer is agreed while others run: a receiver that misses a block drops
// the rest of its window, which then goes again whole, so a crowd whose windows hold more between
// them than the link's queue spends its link on blocks sent twice. The windows of a crowd share
// 64 blocks, and each keeps at least 4; a transfer alone has what the settings allow.
int64_t crowd_window() {
    constexpr int shared_blocks = 64, least_blocks = 4;
    const int running = transfers_running.load();
    return running <= 1 ? windowsize_max : std::max(least_blocks, shared_blocks / running);
}

// What the server agrees to of the options asked, within the RFCs' limits and its own: a value
// too large is lowered, one it cannot take is left out. -1 when the request is refused.
int negotiate(transfer& t, int kind, const option_set& asked, const file_place& path,
              const server_settings& s, option_set* agreed) {
    for (const option_value& o : asked.values) {
        switch (o.name) {
        case option_name::blksize:
            if (o.value >= blksize_min) {
                int64_t size = std::min<int64_t>({o.value, blksize_max, s.MaxBlockSize});
                // A block that fits the interface the request came in on, less the IP, UDP and
                // TFTP headers.
                int headers = t.peer.family == net_family::v6 ? 52 : 32;
                if (t.path_mtu > 0)
                    size = std::min<int64_t>(size, std::max(blksize_min, t.path_mtu - headers));
                agreed->set(o.name, size);
            }
            break;
        case option_name::tsize:
            // The size on the wire of a netascii file is not its size on the disk.
            if (kind == OP_RRQ && t.mode == MODE_OCTET && file_size(path) >= 0)
                agreed->set(o.name, file_size(path));
            if (kind == OP_WRQ) {
                if (!room_for(path, o.value))
                    return refuse(t, 3, "Disk full or allocation exceeded.");
                agreed->set(o.name, o.value);
            }
            break;
        case option_name::timeout:
            // Only within the server's own range: no client holds a transfer (and so a slot)
            // longer than the server's own timeout would.
            if (o.value >= timeout_min_seconds && o.value <= t.timeout_seconds)
                agreed->set(o.name, o.value);
            break;
        case option_name::windowsize:
            if (o.value >= 1 && o.value <= windowsize_max)
                agreed->set(o.name, std::min<int64_t>({o.value, s.MaxWindowSize, crowd_window()}));
            break;
        }
    }
    // Whether sending or receiving, the window is one the socket's buffers hold.
    if (agreed->has(option_name::windowsize)) {
        int block = static_cast<int>(
            agreed->has(option_name::blksize) ? agreed->get(option_name::blksize) : block_size);
        int window = static_cast<int>(agreed->get(option_name::windowsize));
        agreed->set(option_name::windowsize, net_hold_window(t, block, window));
    }
    return 0;
}

} // namespace

int recv_xRQ(transfer& t, int kind, const uint8_t* data, int length, option_set* agreed) {
    // One copy of the settings judges the whole request, whatever changes meanwhile.
    const std::shared_ptr<const server_settings> settings = settings_now();
    const server_settings& s = *settings;
    t.kind = kind;
    const uint8_t *at = data, *end = data + length;
    std::string name, mode;
    if (!take_text(at, end, &name))
        report_transfer_fault("recv_xRQ: Invalid filename was requested.");
    t.file_name = name;
    if (!take_text(at, end, &mode)) report_transfer_fault("recv_xRQ: Invalid mode requested.");
    // What follows the mode (at) holds the options of the extensions.
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
    if (remap(t, kind, &name) < 0) return -1;
    std::string beneath;
    if (tftp_checkfilename(name, kind, s, &beneath) < 0) return refuse(t, 2, "File request failed.");
    file_place place = served_place(t, kind, beneath, local_path(name), s);
    t.path = place.path; // as the records say it was served
    // Boot loaders ask for \Boot\BCD where the disk has boot/bcd; an upload keeps its name.
    if (kind == OP_RRQ && s.IgnoreCase == 1 && !path_exists(place))
        place = place_ignoring_case(place);
    // Out of the root through a link is out of the root all the same.
    if (path_leads_out(place)) {
        trace_line("tftp_checkfilename: %s leads out of its root.", place.path.c_str());
        return refuse(t, 2, "File request failed.");
    }
    if (check_permissions(t, kind, place, s) < 0) return -1;
    if (s.Extensions == 1) {
        t.asked = options_parse(at, end);
        if (!t.asked.empty()) {
            trace_line("recv_xRQ: Options asked: %s.", options_text(t.asked).c_str());
            if (negotiate(t, kind, t.asked, place, s, agreed) < 0) return -1;
            t.take_options(*agreed);
            t.agreed = *agreed;
        }
    }

    if (kind == OP_WRQ) {
        t.claim = upload_claim(place);
        if (!t.claim) return refuse(t, 2, "The file is being uploaded by another client.");
        t.keep_existing = s.AllowOverwrite == 1;
        t.keep_versions = s.KeepVersions;
        // A reload while the file comes in changes nothing of what happens once it is whole.
        command_keep(t, s);
    }
    if (!file_open(t, place, kind == OP_RRQ ? "r" : "w", 0))
        return refuse(t, 2, "Failed to open file.");
    t.meter->kind = kind;
    // With many at once, the totals show instead.
    if (!board_counts_all(s)) progress_start(t.meter);
    return 0;
}

bool request_well_formed(const uint8_t* datagram, int length) {
    if (length < 4) return false;
    const int opcode = get16(datagram);
    const uint8_t *at = datagram + 2, *end = datagram + length;
    std::string name, mode;
    return (opcode == OP_RRQ || opcode == OP_WRQ) && take_text(at, end, &name) &&
           take_text(at, end, &mode);
}

int read_request(transfer& t, const uint8_t* packet, int length) {
    option_set agreed;
    if (recv_xRQ(t, OP_RRQ, packet, length, &agreed) < 0) return -1;
    // With options agreed, DATA 1 waits for the client's ACK of the OACK.
    if (!agreed.empty()) {
        send_OACK(t, agreed);
        return 0;
    }
    // As if the client had acknowledged block 0: this reads and sends DATA block 1.
    const uint8_t ack_zero[2] = {0, 0};
    recv_ACK(t, ack_zero, 2);
    return 0;
}

int write_request(transfer& t, const uint8_t* packet, int length) {
    option_set agreed;
    if (recv_xRQ(t, OP_WRQ, packet, length, &agreed) < 0) return -1;
    t.nextblknum = 1;
    // The OACK stands in for ACK 0.
    if (agreed.empty())
        send_ACK(t, 0);
    else
        send_OACK(t, agreed);
    return 0;
}

int oack_acknowledged(transfer& t, const uint8_t* packet, int length) {
    return t.kind == OP_RRQ ? recv_ACK(t, packet, length) : fsm_invalid(t, packet, length);
}

int oack_followed_by_data(transfer& t, const uint8_t* packet, int length) {
    return t.kind == OP_WRQ ? recv_DATA(t, packet, length) : fsm_invalid(t, packet, length);
}

int options_refused(transfer& t, const uint8_t* packet, int length) {
    t.outcome = {transfer_outcome::kind::ended, "ended by the client after the options"};
    // Firmware asks for a file's size this way, then sends its real request: the server is
    // free for it at once, and nothing went wrong.
    std::string text(reinterpret_cast<const char*>(packet) + 2,
                     static_cast<size_t>(std::max(0, length - 2)));
    trace_line("options_refused: The client ended the transfer after the OACK: code %d, %s.",
               get16(packet), text.c_str());
    return -1;
}
