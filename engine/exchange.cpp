#include "exchange.h"

#include "diag/progress.h"
#include "diag/report.h"
#include "diag/role.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "endpoint.h"
#include "file_layer.h"
#include "fsm.h"
#include "packet.h"
#include "platform/clock.h"
#include "rtt.h"
#include "transfer.h"

#include <algorithm>
#include <cstdint>

namespace {

// The last block went across, before the last packet goes out: the role does what it does then.
void completed(transfer& t, bool received) {
    t.outcome = {transfer_outcome::kind::completed, ""};
    if (role().transfer_completed) role().transfer_completed(t, received);
}

void count_moved(transfer& t, int size) {
    if (t.meter->bytes.fetch_add(size) == 0 && size > 0) progress_data_moved();
}

// The block position a wire number stands for: the one nearest to near, which the caller then
// holds to its window. Block numbers roll over from 65535 to 0, as tftpd-hpa, tftp-hpa and curl
// have them, so that a file of 32 MiB or more goes across in the plain protocol too.
int64_t position_of(int wire, int64_t near) {
    auto distance = static_cast<int16_t>(static_cast<uint16_t>(wire - static_cast<int>(near)));
    return near + distance;
}

void acknowledge(transfer& t, int64_t block) {
    send_ACK(t, block);
    t.last_acked = block;
    t.unacked = 0;
}

// The path's window and pace as the status line shows them; a cut is traced.
void note_pace(transfer& t, bool cut) {
    const path_budget& path = *t.budget;
    t.meter->window = static_cast<int>(path.cwnd + 0.5);
    t.meter->pacing = static_cast<int64_t>(path_rate(path));
    if (cut) trace_line("Congestion: %s.", t.meter->pace().c_str());
}

// A datagram of the window was lost: the path slows down.
void lost(transfer& t, uint64_t sent_us) {
    note_pace(t, path_loss(*t.budget, sent_us, clock_us()));
}

// Sends the window's blocks from send_next on, as the path's pace lets them go: one not read
// yet is read first, one sent already goes again from the window's memory (a resend never reads
// the file again), at most datagrams of them. What the pace holds back goes when the transfer's
// owner calls send_more: its turn in the line of those that wait, if there is one.
void pump(transfer& t, int datagrams) {
    t.op_sent = OP_DATA;
    t.send_held = false;
    while (t.send_next <= t.acked + t.window_size &&
           (t.final_block < 0 || t.send_next <= t.final_block)) {
        if (datagrams-- == 0 || !path_may_send(*t.budget, t.block_size, clock_us())) {
            t.send_held = true;
            return;
        }
        const int64_t block = t.send_next++;
        bool sent;
        if (block > t.nextblknum) {
            int size = file_read(t, block_slot(t, block) + 4, t.block_size);
            if (size < t.block_size) t.final_block = block;
            t.nextblknum = block;
            count_moved(t, size);
            sent = send_DATA(t, block, size);
        } else {
            int length = block == t.final_block ? t.send_len : t.block_size + 4;
            trace_line(role().texts.send_data, length - 4, static_cast<int>(block));
            sent = net_send(t, block_slot(t, block), length);
        }
        // This machine's own queue dropped it: it goes again at its next turn, without the
        // round trip it would take the receiver to miss it.
        if (!sent) {
            lost(t, clock_us());
            t.send_next = block;
            t.send_held = true;
            return;
        }
    }
}

// What a transfer may send at once, outside its turn: nothing while others wait in line.
int unpaced_turn(const transfer& t) { return t.budget->line.empty() ? INT32_MAX : 0; }

// Sends again from first on: news of a loss, which the path answers by slowing down.
void send_again(transfer& t, int64_t first) {
    // A peer that has gone is no news of the path after its first wait has run out.
    if (t.rtt.retry_count <= 1) lost(t, t.sent_us);
    t.send_next = first;
    pump(t, unpaced_turn(t));
}

// A block the window has already passed, or one that came before its turn.
int out_of_turn_DATA(transfer& t, int64_t block) {
    // A block taken already. Were it answered, the sender would take the answer for news of a
    // lost block and send its window again, and again for that window's copies: a lost ACK is
    // made good by this side's own wait running out.
    if (block < t.nextblknum) return FSM_IGNORED;
    // A block is missing: the sender is told where to go on from, once for each gap.
    if (t.gap_told) return FSM_IGNORED;
    acknowledge(t, t.nextblknum - 1);
    t.gap_told = true;
    return 0;
}

} // namespace

void send_first_window(transfer& t) {
    t.acked = t.nextblknum;
    t.send_next = t.acked + 1;
    pump(t, unpaced_turn(t));
}

void send_more(transfer& t, int datagrams) {
    // A wait that began before the blocks left would run out a round trip early.
    const uint64_t sent_before = t.sent_us;
    pump(t, datagrams);
    if (t.sent_us == sent_before) return;
    t.rtt.start_ms = clock_ms();
    net_wait_begin(t, t.rtt.currto);
}

void resend(transfer& t) {
    t.ack_answered = -1; // the window goes out again: the receiver's next word is news
    if (t.op_sent == OP_DATA)
        send_again(t, t.acked + 1);
    else if (t.op_sent == OP_ACK && t.window_size > 1)
        // The blocks taken since the last ACK are news to the sender: it goes on after them
        // instead of sending them again.
        acknowledge(t, t.nextblknum - 1);
    else
        net_send(t, t.send_buf.data(), t.send_len);
}

int recv_DATA(transfer& t, const uint8_t* packet, int length) {
    const int wire = get16(packet);
    const int size = length - 2;
    trace_line(role().texts.data_received, size, wire);
    if (size > t.block_size)
        protocol_violation(t, "recv_DATA: Data packet received with length = %d bytes.", size);
    const int64_t block = position_of(wire, t.nextblknum);
    if (block == t.nextblknum) {
        ++t.nextblknum;
        ++t.unacked;
        t.gap_told = false;
        count_moved(t, size);
        if (size == t.block_size) {
            // A full block is acknowledged before it is written, so that the peer reads its next
            // block while this one goes to the disk. The last block is written (and, in the
            // server, the file closed) before its ACK: that ACK says the file is complete.
            if (t.unacked >= t.window_size) acknowledge(t, block);
            file_write(t, packet + 2, size);
            return 0;
        }
        if (size > 0) file_write(t, packet + 2, size);
        completed(t, true);
        acknowledge(t, block);
        return -1;
    }
    if (t.window_size > 1) return out_of_turn_DATA(t, block);
    if (block < t.nextblknum - 1) protocol_violation(t, "recv_DATA: recvblknum < nextblknum - 1.");
    if (block > t.nextblknum) protocol_violation(t, "recv_DATA: recvblknum > nextblknum.");
    // The block last acknowledged came again: its ACK was lost, so it is acknowledged again.
    send_ACK(t, block);
    return 0;
}

int recv_ACK(transfer& t, const uint8_t* packet, int length) {
    const int wire = get16(packet);
    if (length != 2)
        protocol_violation(t, "recv_ACK: ACK packet received with length = %d bytes.", length + 2);
    trace_line(role().texts.ack_received, wire);
    const int64_t block = position_of(wire, t.nextblknum);
    if (block > t.nextblknum) protocol_violation(t, "recv_ACK: recvblknum > nextblknum.");
    if (block < t.acked) {
        if (t.window_size == 1) protocol_violation(t, "recv_ACK: recvblknum < nextblknum - 1.");
        return FSM_IGNORED; // an ACK the window has left behind
    }
    if (block == t.acked) {
        // In lock step a repeat of the last ACK is ignored, so that a duplicated datagram never
        // sends a block twice. Of a window, the receiver took none: the first block was lost, and
        // it goes again at once. Once for each time the window goes out, so that a duplicated ACK
        // cannot make windows multiply.
        if (t.window_size == 1 || t.nextblknum == block || t.ack_answered == block)
            return FSM_IGNORED;
        t.ack_answered = block;
        send_again(t, block + 1);
        return 0;
    }
    const uint64_t now = clock_us();
    // Only an ACK of everything sent, none of it twice, times the path: a partial one is the
    // receiver's own timer speaking, and the ACK a plain request stands for answers nothing.
    if (block == t.nextblknum && t.send_next == block + 1 && t.sent_us > 0 && !t.rtt.resent)
        path_round_trip(*t.budget, now - t.sent_us);
    path_acked(*t.budget, block - t.acked, now);
    note_pace(t, false);
    t.acked = block;
    t.ack_answered = -1;
    if (block == t.final_block) {
        completed(t, false);
        return -1;
    }
    // The receiver took blocks up to this one only: it goes on from the one after.
    if (block < t.nextblknum) {
        send_again(t, block + 1);
        return 0;
    }
    t.send_next = std::max(t.send_next, block + 1);
    pump(t, unpaced_turn(t));
    return 0;
}
