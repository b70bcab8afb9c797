#include "client_role.h"

#include "client_controls.h"
#include "engine/exchange.h"
#include "engine/fsm.h"
#include "engine/transfer.h"
#include "session.h"

using namespace tftpc_controls;

namespace {

bool always_serving() { return true; }

// No answer to the request from this address of the server: the request goes to its next one,
// and the wait begins anew; from the last of them, the wait runs out as any other.
int request_wait_ran_out(transfer& t, const uint8_t* packet, int length) {
    if (t.first_receive && client_next_address(t)) {
        fsm_wait_begin(t);
        return 0;
    }
    return fsm_timeout(t, packet, length);
}

using enum fsm_state;
using enum fsm_event;
const fsm_transition client_transitions[] = {
    {read_requested, data, recv_DATA},
    {read_requested, error, recv_ERROR},
    {read_requested, options, recv_OACK},
    {read_requested, timeout, request_wait_ran_out},
    {write_requested, ack, recv_ACK},
    {write_requested, error, recv_ERROR},
    {write_requested, options, recv_OACK},
    {write_requested, timeout, request_wait_ran_out},
    {data_sent, ack, recv_ACK},
    {data_sent, error, fsm_error},
    {data_sent, options, recv_OACK_again},
    {ack_sent, data, recv_DATA},
    {ack_sent, error, fsm_error},
    {ack_sent, options, recv_OACK_again},
    {any, timeout, fsm_timeout},
};

} // namespace

const role_profile client_role = {
    .status_file_name = "PYCStat.tmp",
    .status_control = IDC_STATUS,
    .fatal_icon = ui_icon::error,
    .transitions = client_transitions,
    .abort = client_abort,
    .transfer_completed = nullptr,
    .serving = always_serving,
    .faults_are_fatal = true,
    .learns_peer_port = true,
    .traces_before_send = false,
    .drops_at_stop = false,
    .blocks_when_done = true,
    .regular_files_only = false,
    .ends_in_rows = false,
    // As any program makes one: 0666, less the mask.
    .new_file_mode = 0666,
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
            .peer_said = "The server said: ",
            .send_failed = "net_send: A send error occurred while attempting to transmit.",
            .file_closed = nullptr,
        },
};
