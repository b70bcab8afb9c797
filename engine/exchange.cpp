#include "exchange.h"

#include "diag/progress.h"
#include "diag/report.h"
#include "diag/role.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "file_layer.h"
#include "packet.h"
#include "rtt.h"
#include "transfer.h"

namespace {

// The server's end of a completed transfer, before its last packet goes out.
void end_of_transfer(transfer& t, void (*summary)(int64_t, double)) {
    file_close(t);
    t_stop(t.watch);
    status_file_delete();
    if (role().end_of_transfer) role().end_of_transfer(t);
    summary(t.bytes(), t_elapsed(t.watch));
}

void count_moved(transfer& t, int size) {
    if (t.meter->bytes.fetch_add(size) == 0 && size > 0) progress_data_moved();
}

} // namespace

int recv_DATA(transfer& t, const uint8_t* packet, int length) {
    const int block = get16(packet);
    const int size = length - 2;
    trace_line(role().texts.data_received, size, block);
    if (size > block_size)
        report_peer_fault("recv_DATA: Data packet received with length = %d bytes.", size);
    if (block == t.nextblknum) {
        ++t.nextblknum;
        count_moved(t, size);
        if (size == block_size) {
            // A full block is acknowledged before it is written, so that the peer reads its next
            // block while this one goes to the disk. The last block is written (and, in the
            // server, the file closed) before its ACK: that ACK says the file is complete.
            send_ACK(t, block);
            file_write(t, packet + 2, size);
            return 0;
        }
        if (size > 0) file_write(t, packet + 2, size);
        if (role().server) end_of_transfer(t, summary_received);
    } else if (block < t.nextblknum - 1) {
        report_peer_fault("recv_DATA: recvblknum < nextblknum - 1.");
    } else if (block > t.nextblknum) {
        report_peer_fault("recv_DATA: recvblknum > nextblknum.");
    }
    // The block last acknowledged came again: its ACK was lost, so it is acknowledged again.
    send_ACK(t, block);
    return size != block_size ? -1 : 0;
}

int recv_ACK(transfer& t, const uint8_t* packet, int length) {
    const int block = get16(packet);
    if (length != 2)
        report_peer_fault("recv_ACK: ACK packet received with length = %d bytes.", length + 2);
    trace_line(role().texts.ack_received, block);
    if (block == t.nextblknum) {
        int size = file_read(t, t.send_buf.data() + 4, block_size);
        if (size == 0 && t.last_data_size < block_size) {
            if (role().server) end_of_transfer(t, summary_sent);
            return -1;
        }
        t.last_data_size = size;
        ++t.nextblknum;
        count_moved(t, size);
        send_DATA(t, t.nextblknum, size);
        return 0;
    }
    if (block < t.nextblknum - 1) report_peer_fault("recv_ACK: recvblknum < nextblknum - 1.");
    if (block > t.nextblknum) report_peer_fault("recv_ACK: recvblknum > nextblknum.");
    // A repeat of the previous ACK: sending the block again here would double every later one.
    return 0;
}
