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

#include <cstdio>

namespace {

// The handler the role's transitions name for the transfer's state and the event.
fsm_handler handler_of(const transfer& t, fsm_event event) {
    const auto state = static_cast<fsm_state>(t.op_sent);
    for (const fsm_transition& to : role().transitions)
        if ((to.state == state || to.state == fsm_state::any) && to.event == event)
            return to.handler;
    return fsm_invalid;
}

// The machine has ended the transfer.
int ended(transfer& t) {
    if (role().blocks_when_done) net_block(t);
    t.meter->kind = 0;
    return -1;
}

} // namespace

void fsm_wait_begin(transfer& t) { net_wait_begin(t, rtt_start(t.rtt, t.timeout_seconds)); }

int fsm_guarded(transfer& t, const std::function<int()>& step) {
    try {
        return step();
    } catch (const transfer_ended& fault) {
        t.outcome = {transfer_outcome::kind::failed, fault.reason};
        t.meter->kind = 0;
        return -1;
    }
}

int fsm_error(transfer& t, const uint8_t* packet, int length) {
    char ours[80];
    std::snprintf(ours, sizeof ours, "fsm_error: Error received: op_sent = %d, op_recv = %d.",
                  t.op_sent, t.op_recv);
    // What the peer said is why: it follows the state machine's own words.
    report_transfer_fault(with_peer_words(ours, packet, length).c_str());
}

int fsm_invalid(transfer& t, const uint8_t*, int) {
    protocol_violation(t, "fsm_invalid: Protocol botch: op_sent = %d, op_recv = %d.", t.op_sent,
                       t.op_recv);
}

int fsm_begin(transfer& t, int op) {
    t.op_sent = op;
    rtt_new_transfer(t.rtt);
    t_start(t.watch);
    fsm_wait_begin(t);
    return fsm_guarded(t, [&t] {
        net_unblock(t);
        return 0;
    });
}

int fsm_dispatch(transfer& t, int length) {
    return fsm_guarded(t, [&t, length] {
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
        const int handled = handler_of(t, static_cast<fsm_event>(t.op_recv))(
            t, t.recv_buf.data() + 2, length - 2);
        // A datagram the handler ignored answers nothing: the wait for the answer goes on.
        if (answer && handled != FSM_IGNORED) {
            rtt_measure(t.rtt, arrived);
            rtt_trace(t.rtt);
        }
        if (handled < 0) return ended(t);
        if (handled != FSM_IGNORED) fsm_wait_begin(t);
        return 0;
    });
}

int fsm_take(transfer& t) {
    const int length = fsm_guarded(t, [&t] { return net_take(t); });
    if (t.outcome.how != transfer_outcome::kind::running) return -1;
    return length < 0 ? 0 : fsm_dispatch(t, length);
}

int fsm_expired(transfer& t) {
    return fsm_guarded(
        t, [&t] { return handler_of(t, fsm_event::timeout)(t, nullptr, 0) < 0 ? ended(t) : 0; });
}

int fsm_send_more(transfer& t, int datagrams) {
    return fsm_guarded(t, [&t, datagrams] {
        send_more(t, datagrams);
        return 0;
    });
}

int fsm_wait_again(transfer& t, bool send_again) {
    if (rtt_expired(t.rtt) < 0) {
        t.outcome = {transfer_outcome::kind::timed_out, ""};
        transfer_final("The file transfer timed out.");
        trace_line("The file transfer timed out.");
        return -1;
    }
    rtt_trace(t.rtt);
    if (send_again) resend(t);
    fsm_wait_begin(t);
    return 0;
}

int fsm_timeout(transfer& t, const uint8_t*, int) { return fsm_wait_again(t, true); }

void fsm_stopped(transfer& t) {
    t.outcome = {transfer_outcome::kind::stopped, ""};
    // The peer would otherwise wait out its timeouts for an answer that never comes.
    if (t.op_sent != OP_NONE && !t.first_receive) tell_peer(t, 0, role().texts.cancelled);
    trace_line("File transfer stopped.");
    t.meter->kind = 0;
}

void fsm_loop(transfer& t, int op) {
    if (fsm_begin(t, op) < 0) return;
    while (!stop_flag) {
        const int length = fsm_guarded(t, [&t] { return net_recv(t); });
        if (t.outcome.how != transfer_outcome::kind::running) return;
        if (length == NET_STOPPED) return fsm_stopped(t);
        if (length == NET_SEND_DUE) {
            if (fsm_send_more(t, INT32_MAX) < 0) return;
            continue;
        }
        if ((length == NET_TIMED_OUT ? fsm_expired(t) : fsm_dispatch(t, length)) < 0) return;
    }
    fsm_stopped(t);
}
