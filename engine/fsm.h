// The protocol state machine of one transfer: each datagram goes to the handler that the pair
// (opcode last sent, opcode received) selects in the role's table; a wait that runs out sends the
// last packet again, and the fifth timeout of a transfer gives up. The steps are driven one at a
// time by whoever runs the transfer: fsm_loop for a single transfer, the server's daemon for all
// of its transfers at once.
#pragma once

#include <cstdint>

struct transfer;

// Starts the machine of a transfer whose last packet sent is op (server: 0, nothing yet) and
// begins its first wait.
void fsm_begin(transfer& t, int op);
// What a handler returns for a datagram that changed nothing and sent nothing (a repeated ACK, a
// block the window has left behind): the wait for the right answer goes on as it was, so that
// a peer repeating itself never keeps this side from sending again when the wait runs out.
enum : int { FSM_IGNORED = 1 };

// A datagram of length bytes from the peer lies in recv_buf: it is measured, checked and handed
// to its handler, and the next wait begins unless the handler ignored it. Negative when the
// handler ended the transfer.
int fsm_dispatch(transfer& t, int length);
// The wait ran out: -1 when the transfer gives up (its fifth timeout); otherwise the last packet
// has gone out again and the next wait has begun.
int fsm_expired(transfer& t);
// A stop ends the transfer (the client's stop ends its thread).
void fsm_stopped(transfer& t);
// Runs one transfer on the calling thread; op is the opcode already sent. -1 when it gave up
// after timeouts, 0 when a handler ended it or (server) it was stopped.
int fsm_loop(transfer& t, int op);

// Handlers for an ERROR during the exchange and for every pair without protocol meaning.
int fsm_error(transfer& t, const uint8_t* packet, int length);
int fsm_invalid(transfer& t, const uint8_t* packet, int length);
