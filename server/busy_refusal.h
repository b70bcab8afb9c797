// While a transfer runs, the daemon does not read the listening port; this thread answers every
// datagram there from a permitted client with an ERROR saying that the server is busy.
#pragma once

#include <atomic>

// 1 from the moment a refusal thread is started until it has let go of the listening port.
extern std::atomic<int> refusal_running;

// Starts the refusal for the transfer whose request has just been accepted; it ends when that
// transfer ends, the server is disabled or a stop is raised.
void refusal_start();
// The thread itself, with its own descriptor of the listening socket.
void TFTP_Refuserequests(int listen_fd);
