#include "exchange.h"

#include "diag/progress.h"
#include "diag/report.h"
#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "file_layer.h"
#include "packet.h"
#include "rtt.h"

namespace {

// The server's end of a completed transfer, before its last packet goes out.
void end_of_transfer(void (*summary)(double)) {
    file_close(transfer_state.file);
    t_stop();
    status_file_delete();
    if (role().end_of_transfer) role().end_of_transfer();
    summary(t_elapsed());
}

} // namespace

int recv_DATA(const uint8_t* packet, int length) {
    transfer_record& t = transfer_state;
    const int block = get16(packet);
    const int size = length - 2;
    trace_line(role().texts.data_received, size, block);
    if (size > block_size)
        report_peer_fault("recv_DATA: Data packet received with length = %d bytes.", size);
    if (block == t.nextblknum) {
        ++t.nextblknum;
        if (byte_count.fetch_add(size) == 0 && size > 0) progress_data_moved();
        if (size == block_size) {
            // A full block is acknowledged before it is written, so that the peer reads its next
            // block while this one goes to the disk. The last block is written (and, in the
            // server, the file closed) before its ACK: that ACK says the file is complete.
            send_ACK(block);
            file_write(t.file, packet + 2, size, t.mode);
            return 0;
        }
        if (size > 0) file_write(t.file, packet + 2, size, t.mode);
        if (role().server) end_of_transfer(summary_received);
    } else if (block < t.nextblknum - 1) {
        report_peer_fault("recv_DATA: recvblknum < nextblknum - 1.");
    } else if (block > t.nextblknum) {
        report_peer_fault("recv_DATA: recvblknum > nextblknum.");
    }
    // The block last acknowledged came again: its ACK was lost, so it is acknowledged again.
    send_ACK(block);
    return size != block_size ? -1 : 0;
}

int recv_ACK(const uint8_t* packet, int length) {
    transfer_record& t = transfer_state;
    const int block = get16(packet);
    if (length != 2)
        report_peer_fault("recv_ACK: ACK packet received with length = %d bytes.", length + 2);
    trace_line(role().texts.ack_received, block);
    if (block == t.nextblknum) {
        int size = file_read(t.file, t.send_buf + 4, block_size, t.mode);
        if (size == 0 && t.last_data_size < block_size) {
            if (role().server) end_of_transfer(summary_sent);
            return -1;
        }
        t.last_data_size = size;
        ++t.nextblknum;
        if (byte_count.fetch_add(size) == 0 && size > 0) progress_data_moved();
        send_DATA(t.nextblknum, size);
        return 0;
    }
    if (block < t.nextblknum - 1) report_peer_fault("recv_ACK: recvblknum < nextblknum - 1.");
    if (block > t.nextblknum) report_peer_fault("recv_ACK: recvblknum > nextblknum.");
    // A repeat of the previous ACK: sending the block again here would double every later one.
    return 0;
}
