// The answer to a request that comes while the server runs as many transfers as it may: one
// ERROR saying that the server is busy, from a socket of its own.
#pragma once

#include "platform/socket.h"

// Sends the busy ERROR to sender from local, the address its request came to.
void TFTP_Refuserequests(const net_endpoint& local, const net_endpoint& sender);
// Sends one ERROR from local to sender, from a socket of its own; a failure caused by the
// sender's address is only traced.
void refuse_from(const net_endpoint& local, const net_endpoint& sender, int code, const char* text);
