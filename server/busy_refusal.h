// The answer to a request that comes while the server runs as many transfers as it may: one
// ERROR saying that the server is busy.
#pragma once

#include "platform/socket.h"

// Sends the busy ERROR to sender from local, the address its request came to.
void TFTP_Refuserequests(int listening, const net_endpoint& local, const net_endpoint& sender);
// Sends one ERROR from local to sender: from a port the transfers may use, or from the listening
// socket when none is free. A failure is only traced.
void refuse_from(int listening, const net_endpoint& local, const net_endpoint& sender, int code,
                 const char* text);
