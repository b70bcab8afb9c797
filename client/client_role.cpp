#include "client_role.h"

#include "client_controls.h"
#include "engine/exchange.h"
#include "engine/fsm.h"
#include "session.h"

using namespace tftpc_controls;

namespace {

bool always_serving() { return true; }

// Rows: the opcode last sent; columns: the opcode received.
const fsm_table client_dispatch = {
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid},
    {fsm_invalid, fsm_invalid, fsm_invalid, recv_DATA, fsm_invalid, recv_ERROR, recv_OACK},
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, recv_ACK, recv_ERROR, recv_OACK},
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, recv_ACK, fsm_error, recv_OACK_again},
    {fsm_invalid, fsm_invalid, fsm_invalid, recv_DATA, fsm_invalid, fsm_error, recv_OACK_again},
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_error, fsm_invalid},
    {fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid, fsm_invalid},
};

} // namespace

const role_profile client_role = {
    .server = false,
    .status_file_name = "PYCStat.tmp",
    .status_control = IDC_STATUS,
    .fatal_icon = ui_icon::error,
    .dispatch = &client_dispatch,
    .abort = client_abort,
    .end_of_transfer = nullptr,
    .serving = always_serving,
    .transfer_stopped = client_transfer_stopped,
    .no_answer = client_next_address,
    .texts =
        {
            .net_close = "net_close: host = %s, fd = %d.",
            .send_ack = "Sending ACK for block# %d",
            .send_data = "Sending %d bytes of DATA with block# %d",
            .data_received = "DATA received, %d bytes, block# %d",
            .ack_received = "ACK received, block# %d",
            .receive_length = "fsm_loop: Receive length = %d bytes.",
            .invalid_opcode = "fsm_loop: Invalid opcode received: %d.",
            .progress_kind_1 = "%lld bytes received.",
            .progress_kind_2 = "%lld bytes sent.",
            .summary_sent = "%lld bytes transmitted in %.1f seconds.",
            .waited = "Waited %.1f seconds. Is there a server problem?",
            .octet_write_failed =
                "file_write: An error occurred while writing to the local file, i = %d.",
            .putc_failed = "file_write: Write error from putc to local file.",
            .unknown_read_mode = "Unknown MODE value.",
            .unknown_write_mode = "Unknown MODE value.",
            .close_failed = "file_close: An error occurred trying to close the file.",
            .cancelled = "Transfer cancelled by the user.",
        },
};
