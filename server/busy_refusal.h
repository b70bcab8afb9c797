// The answer to a request that comes while the server runs as many transfers as it may: one
// ERROR saying that the server is busy, from a socket of its own.
#pragma once

#include "platform/socket.h"

// Sends the busy ERROR to sender; a failure caused by the sender's address is only traced.
void TFTP_Refuserequests(const ipv4_endpoint& sender);
