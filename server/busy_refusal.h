// The answer to a request that comes while the server runs as many transfers as it may: one
// ERROR saying that the server is busy; and the sockets such refusals leave from.
#pragma once

#include "platform/socket.h"

#include <memory>
#include <utility>
#include <vector>

// The sockets that refusals leave from: one for each local address that requests come to,
// opened at its first refusal and kept, on a port the transfers may use (as a firewall in front
// of the server expects), so that a flood of requests costs no socket each.
class refusal_sockets {
  public:
    // The socket to answer a request that came to local from; the listening socket when no port
    // is free.
    int socket_for(int listening, const net_endpoint& local);
    // Lets go of the ports held, for a transfer that finds none free; whether any was held.
    bool release();

  private:
    std::vector<std::pair<net_endpoint, std::unique_ptr<socket_owner>>> held_;
};

// Sends the busy ERROR to sender from the socket given.
void TFTP_Refuserequests(int from, const net_endpoint& sender);
// Sends one ERROR to sender from the socket given. A failure is only traced.
void refuse_from(int from, const net_endpoint& sender, int code, const char* text);
