// The server's network front: the listening socket, and one transfer at a time moved to a
// socket of its own on an ephemeral port.
#pragma once

#include <atomic>
#include <cstdint>

// The listening socket; -1 while the server is disabled.
extern std::atomic<int> listen_socket;
// A port that replaces the service's port for this run; 0 keeps the service's.
extern std::atomic<int> listen_port_override;

// Entry of the daemon thread; it returns when stop_flag is raised.
void TFTPStartDaemon();
void net_init(const char* service);
// The length of the next accepted datagram, -1 when its sender was refused, 0 on a stop.
int tftp_listen(uint8_t* buffer, int size);
void tftp_serverequest(int length);

// 1 from the moment the daemon thread is started until it has closed its sockets and ended.
extern std::atomic<int> daemon_running;
