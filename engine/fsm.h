// The protocol state machine: waits for each datagram, sends the last packet again when a wait
// runs out, gives up on the fifth timeout of a transfer, and hands every datagram to the handler
// that the pair (opcode last sent, opcode received) selects in the role's table.
#pragma once

#include <cstdint>

// Runs one transfer; op is the opcode already sent (server 0). -1 when it gave up after
// timeouts, 0 when a handler ended the transfer or (server) it was stopped.
int fsm_loop(int op);
// Handlers for an ERROR during the exchange and for every pair without protocol meaning.
int fsm_error(const uint8_t* packet, int length);
int fsm_invalid(const uint8_t* packet, int length);
