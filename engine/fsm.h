// The protocol state machine of one transfer: its state is what it has sent last, and each event
// (a datagram of an opcode, or the wait running out) goes to the handler that the role's
// transitions name for the pair; a pair they do not name is a fault of the peer. The steps are
// driven one at a time by whoever runs the transfer: fsm_loop for a single transfer, the server's
// daemon for all of its transfers at once. However a transfer ends, its outcome says how.
#pragma once

#include <cstdint>
#include <functional>

struct transfer;

// Starts the machine of a transfer whose last packet sent is op (server: 0, nothing yet) and
// begins its first wait; negative when the transfer could not begin (its socket refused).
int fsm_begin(transfer& t, int op);
// What a handler returns for a datagram that changed nothing and sent nothing (a repeated ACK, a
// block the window has left behind): the wait for the right answer goes on as it was, so that
// a peer repeating itself never keeps this side from sending again when the wait runs out.
enum : int { FSM_IGNORED = 1 };

// A datagram of length bytes from the peer lies in recv_buf: it is measured, checked and handed
// to its handler, and the next wait begins unless the handler ignored it. Negative when the
// transfer has ended.
int fsm_dispatch(transfer& t, int length);
// Takes the next datagram from the peer waiting at the socket, if any, and dispatches it; the
// server's daemon, which waits on every socket at once, calls it for one that has something.
// Negative when the transfer has ended.
int fsm_take(transfer& t);
// The wait ran out: the state's timeout transition. Negative when the transfer has ended.
int fsm_expired(transfer& t);
// The pace lets blocks it held back go, at most datagrams of them: -1 when sending them ended
// the transfer.
int fsm_send_more(transfer& t, int datagrams);
// A stop ends the transfer, and tells the peer.
void fsm_stopped(transfer& t);
// Runs one transfer on the calling thread; op is the opcode already sent. It returns when the
// transfer has ended: the outcome says how.
void fsm_loop(transfer& t, int op);
// Runs step, a part of the transfer's exchange: a fault that ends the transfer (the peer's, its
// file's, its socket's) ends it here, as its outcome, and gives -1.
int fsm_guarded(transfer& t, const std::function<int()>& step);

// Begins the next wait, as long as the round trips measured say.
void fsm_wait_begin(transfer& t);
// The ends of a wait: another try (the last packet again, when send_again, then a longer wait),
// or the end of the transfer at the fifth in a row (negative).
int fsm_wait_again(transfer& t, bool send_again);
// The timeout transition of every state that has no other: the last packet again.
int fsm_timeout(transfer& t, const uint8_t* packet, int length);
// Handlers for an ERROR during the exchange and for every pair without protocol meaning.
int fsm_error(transfer& t, const uint8_t* packet, int length);
int fsm_invalid(transfer& t, const uint8_t* packet, int length);
