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
#include "rtt.h"
#include "transfer.h"

namespace {

// The last block went across, before the last packet goes out: the role does what it does then.
void completed(transfer& t, bool received) {
    t.outcome = {transfer_outcome::kind::completed, ""};
    if (role().transfer_completed) role().transfer_completed(t, received);
}

void count_moved(transfer& t, int size) {
    if (t.meter->bytes.fetch_add(size) == 0 && size > 0) progress_data_moved();
}

// The block position a wire number stands for. With rollover, the one nearest to near, which
// the caller then holds to its window; without it the number as it came, so that a transfer
// that needs block 65536 fails as the plain protocol always has.
int64_t position_of(const transfer& t, int wire, int64_t near) {
    if (!t.rollover) return wire;
    auto distance = static_cast<int16_t>(static_cast<uint16_t>(wire - static_cast<int>(near)));
    return near + distance;
}

void acknowledge(transfer& t, int64_t block) {
    send_ACK(t, block);
    t.last_acked = block;
    t.unacked = 0;
}

// Reads and sends blocks until the window is full or the file's last block has gone out.
void fill_window(transfer& t) {
    while (t.final_block < 0 && t.nextblknum - t.acked < t.window_size) {
        const int64_t block = t.nextblknum + 1;
        int size = file_read(t, block_slot(t, block) + 4, t.block_size);
        if (size < t.block_size) t.final_block = block;
        t.nextblknum = block;
        count_moved(t, size);
        send_DATA(t, block, size);
    }
}

// Sends again the blocks from first to the last one sent, from the window's memory: a resend
// never reads the file again.
void send_again(transfer& t, int64_t first) {
    for (int64_t block = first; block <= t.nextblknum; ++block) {
        uint8_t* slot = block_slot(t, block);
        int length = block == t.final_block ? t.send_len : t.block_size + 4;
        trace_line(role().texts.send_data, length - 4, static_cast<int>(block));
        net_send(t, slot, length);
    }
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
    fill_window(t);
}

void resend(transfer& t) {
    t.ack_answered = -1; // the window goes out again: the receiver's next word is news
    if (t.op_sent == OP_DATA && t.window_size > 1)
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
    const int64_t block = position_of(t, wire, t.nextblknum);
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
    const int64_t block = position_of(t, wire, t.nextblknum);
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
    t.acked = block;
    t.ack_answered = -1;
    if (block == t.final_block) {
        completed(t, false);
        return -1;
    }
    // The receiver took blocks up to this one only: it goes on from the one after.
    if (block < t.nextblknum) send_again(t, block + 1);
    fill_window(t);
    return 0;
}
