#include "server_role.h"

#include "engine/exchange.h"
#include "engine/fsm.h"
#include "request.h"
#include "run_external.h"
#include "server_controls.h"
#include "settings.h"
#include "transfer_abort.h"

using namespace tftps_controls;

namespace {

bool server_serving() { return ServerEnabled == 1; }

// Rows: the opcode last sent; columns: the opcode received.
const fsm_table server_dispatch = {
    {fsm_invalid, read_request, write_request, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid},
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid},
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid},
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, recv_ACK, fsm_error, fsm_invalid},
    {fsm_invalid, fsm_invalid, fsm_invalid, recv_DATA, fsm_invalid, fsm_error, fsm_invalid},
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_error, fsm_invalid},
    {fsm_invalid, fsm_invalid, fsm_invalid, oack_followed_by_data, oack_acknowledged,
     options_refused, fsm_invalid},
};

} // namespace

const role_profile server_role = {
    .server = true,
    .status_file_name = "PYSStat.tmp",
    .status_control = IDC_STATUS,
    .fatal_icon = ui_icon::warning,
    .dispatch = &server_dispatch,
    .abort = transfer_abort,
    .end_of_transfer = TFTP_RunExternal,
    .serving = server_serving,
    .transfer_stopped = nullptr,
    .no_answer = nullptr,
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
        },
};
