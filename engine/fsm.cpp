#include "fsm.h"

#include "diag/progress.h"
#include "diag/report.h"
#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/trace.h"
#include "endpoint.h"
#include "packet.h"
#include "rtt.h"

namespace {

// The first transfer of the process starts the round-trip estimate afresh; later ones keep it.
bool rtt_first_use = true;

int timed_out() {
    transfer_kind = 0;
    status_final("The file transfer timed out.");
    trace_line("The file transfer timed out.");
    return -1;
}

int stopped() {
    if (role().transfer_stopped) role().transfer_stopped();
    trace_line("File transfer stopped.");
    return 0;
}

} // namespace

int fsm_error(const uint8_t*, int) {
    report_peer_fault("fsm_error: Error received: op_sent = %d, op_recv = %d.",
                      transfer_state.op_sent, transfer_state.op_recv);
}

int fsm_invalid(const uint8_t*, int) {
    report_peer_fault("fsm_invalid: Protocol botch: op_sent = %d, op_recv = %d.",
                      transfer_state.op_sent, transfer_state.op_recv);
}

int fsm_loop(int op) {
    transfer_record& t = transfer_state;
    const role_profile& r = role();
    t.op_sent = op;
    if (!r.server) net_unblock();
    if (rtt_first_use) {
        rtt_reset();
        rtt_first_use = false;
    }
    rtt_new_transfer();
    if (r.server) t_start();

    while (!stop_flag) {
        recv_timed_out = false;
        rtt_start();
        int length = net_recv(t.recv_buf, packet_buffer_size);
        if (length < 0) {
            if (recv_timed_out) {
                if (rtt_expired() < 0) return timed_out();
                rtt_trace();
            } else if (r.server) {
                report_fatal("fsm_loop: net_recv error.");
            } else if (stop_flag) {
                return stopped();
            } else {
                report_fatal("fsm_loop: Unknown net_recv error.");
            }
            net_send(t.send_buf, t.send_len);
            continue;
        }
        recv_timed_out = false;
        rtt_measure();
        rtt_trace();
        if (r.server && stop_flag) break;
        if (length < 4) report_peer_fault(r.texts.receive_length, length);
        t.op_recv = get16(t.recv_buf);
        if (t.op_recv == OP_NONE || t.op_recv > OP_ERROR)
            report_peer_fault(r.texts.invalid_opcode, t.op_recv);
        if ((*r.dispatch)[t.op_sent][t.op_recv](t.recv_buf + 2, length - 2) < 0) {
            if (!r.server) net_block();
            transfer_kind = 0;
            return 0;
        }
    }
    return stopped();
}
