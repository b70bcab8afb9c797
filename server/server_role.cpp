#include "server_role.h"

#include "diag/progress.h"
#include "diag/status.h"
#include "engine/exchange.h"
#include "engine/file_layer.h"
#include "engine/fsm.h"
#include "engine/rtt.h"
#include "engine/transfer.h"
#include "request.h"
#include "run_external.h"
#include "server_controls.h"
#include "settings.h"
#include "transfer_abort.h"

using namespace tftps_controls;

namespace {

bool server_serving() { return ServerEnabled == 1; }

// A peer that has never answered gets this many copies of the first reply: a forged request
// must not make the server flood the address it names.
constexpr int unanswered_copies = 3;

int server_wait_ran_out(transfer& t, const uint8_t*, int) {
    return fsm_wait_again(t, t.answered || t.rtt.retry_count + 1 < unanswered_copies);
}

// The last block went across: the file is closed and named, the command runs, and the summary
// shows, before the last packet goes out.
void transfer_completed(transfer& t, bool received) {
    file_close(t);
    t_stop(t.watch);
    status_file_drop(&t);
    TFTP_RunExternal(t);
    (received ? summary_received : summary_sent)(t.bytes(), t_elapsed(t.watch));
}

using s = fsm_state;
using e = fsm_event;
const fsm_transition server_transitions[] = {
    {s::start, e::read_request, read_request},
    {s::start, e::write_request, write_request},
    {s::data_sent, e::ack, recv_ACK},
    {s::data_sent, e::error, fsm_error},
    {s::ack_sent, e::data, recv_DATA},
    {s::ack_sent, e::error, fsm_error},
    {s::options_sent, e::data, oack_followed_by_data},
    {s::options_sent, e::ack, oack_acknowledged},
    {s::options_sent, e::error, options_refused},
    {s::any, e::timeout, server_wait_ran_out},
};

} // namespace

const role_profile server_role = {
    .status_file_name = "PYSStat.tmp",
    .status_control = IDC_STATUS,
    .fatal_icon = ui_icon::warning,
    .transitions = server_transitions,
    .abort = transfer_abort,
    .transfer_completed = transfer_completed,
    .serving = server_serving,
    .faults_are_fatal = false,
    .learns_peer_port = false,
    .traces_before_send = true,
    .drops_at_stop = true,
    .blocks_when_done = false,
    .regular_files_only = true,
    .ends_in_rows = false,
    // A new file is not the client's to run: 0644, less the mask.
    .new_file_mode = 0644,
    .texts =
        {
            .net_close = "net_close: host = %s, socket fd = %d.",
            .send_ack = "Sending ACK for block# %d.",
            .send_data = "Sending %d bytes of DATA with block# %d.",
            .data_received = "DATA received, %d bytes, block# %d.",
            .ack_received = "ACK received, block# %d.",
            .receive_length = "recv_RRQ: Receive length = %d bytes.",
            .invalid_opcode = "recv_RRQ: Invalid opcode received: %d.",
            .progress_kind_1 = "%lld bytes sent.",
            .progress_kind_2 = "%lld bytes received.",
            .summary_sent = "%lld bytes sent in %.1f seconds.",
            .waited = "Waited %.1f seconds. Is there a client problem?",
            .octet_write_failed = "file_write: A write error occurred on local file, i = %d.",
            .putc_failed = "file_write: A write error from putc to local file.",
            .unknown_read_mode = "file_read: Unknown MODE value.",
            .unknown_write_mode = "file_write: Unknown MODE value.",
            .close_failed = "file_close: An error occurred while closing the file.",
            .cancelled = "Server shutting down.",
            .peer_said = "The client said: ",
            .send_failed = "net_send: An error occurred with sendto() on the socket.",
            .file_closed = "file_close: Closed local file.",
        },
};
