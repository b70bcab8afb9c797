#include "fsm.h"

#include "diag/progress.h"
#include "diag/report.h"
#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/trace.h"
#include "endpoint.h"
#include "exchange.h"
#include "packet.h"
#include "platform/clock.h"
#include "rtt.h"
#include "transfer.h"

namespace {

void wait_next(transfer& t) { net_wait_begin(t, rtt_start(t.rtt, t.timeout_seconds)); }

// Copies of its first reply the server sends to a peer that has never answered: a forged
// request must not make it flood the address it names.
constexpr int unanswered_copies = 3;

int timed_out(transfer& t) {
    t.meter->kind = 0;
    t.outcome = "timed out";
    status_final("The file transfer timed out.");
    trace_line("The file transfer timed out.");
    return -1;
}

} // namespace

int fsm_error(transfer& t, const uint8_t*, int) {
    report_transfer_fault("fsm_error: Error received: op_sent = %d, op_recv = %d.", t.op_sent,
                          t.op_recv);
}

int fsm_invalid(transfer& t, const uint8_t*, int) {
    protocol_violation(t, "fsm_invalid: Protocol botch: op_sent = %d, op_recv = %d.", t.op_sent,
                       t.op_recv);
}

void fsm_begin(transfer& t, int op) {
    t.op_sent = op;
    if (!role().server) net_unblock(t);
    rtt_new_transfer(t.rtt);
    if (role().server) t_start(t.watch);
    wait_next(t);
}

int fsm_dispatch(transfer& t, int length) {
    const role_profile& r = role();
    const uint64_t arrived = clock_ms();
    if (length < 4) protocol_violation(t, r.texts.receive_length, length);
    t.op_recv = get16(t.recv_buf.data());
    // The server's first dispatch is the request itself, which is no answer.
    const bool answer = t.op_sent != OP_NONE;
    if (answer) t.answered = true;
    // An OACK is an answer only to a request that asked for options.
    if (t.op_recv == OP_NONE || t.op_recv > (t.options_asked ? OP_OACK : OP_ERROR))
        protocol_violation(t, r.texts.invalid_opcode, t.op_recv);
    const int handled = (*r.dispatch)[t.op_sent][t.op_recv](t, t.recv_buf.data() + 2, length - 2);
    // A datagram the handler ignored answers nothing: the wait for the answer goes on.
    if (answer && handled != FSM_IGNORED) {
        rtt_measure(t.rtt, arrived);
        rtt_trace(t.rtt);
    }
    if (handled < 0) {
        if (!r.server) net_block(t);
        t.meter->kind = 0;
        return -1;
    }
    if (handled != FSM_IGNORED) wait_next(t);
    return 0;
}

int fsm_expired(transfer& t) {
    if (t.first_receive && role().no_answer && role().no_answer(t)) {
        wait_next(t);
        return 0;
    }
    if (rtt_expired(t.rtt) < 0) return timed_out(t);
    rtt_trace(t.rtt);
    // The wait for an answer still runs its whole course; only the copies stop.
    if (!role().server || t.answered || t.rtt.retry_count < unanswered_copies) resend(t);
    wait_next(t);
    return 0;
}

void fsm_stopped(transfer& t) {
    t.outcome = "stopped";
    // The peer would otherwise wait out its timeouts for an answer that never comes.
    if (t.op_sent != OP_NONE && !t.first_receive) tell_peer(t, 0, role().texts.cancelled);
    if (role().transfer_stopped) role().transfer_stopped();
    trace_line("File transfer stopped.");
}

int fsm_loop(transfer& t, int op) {
    fsm_begin(t, op);
    while (!stop_flag) {
        int length = net_recv(t);
        if (length == NET_STOPPED) break;
        if (length == NET_TIMED_OUT) {
            if (fsm_expired(t) < 0) return -1;
            continue;
        }
        if (fsm_dispatch(t, length) < 0) return 0;
    }
    fsm_stopped(t);
    return 0;
}
