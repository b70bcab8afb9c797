// UDP sockets of either IP family behind small calls, so that no code above the platform layer
// touches POSIX.
#pragma once

#include "address.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Makes the system's sockets ready for use, once; every call here that needs them does so itself.
void sockets_ready();

// The port the system's service database gives for the named UDP service; 0 when it has none.
int service_port(const char* service);

// Socket calls. Failures return -1 and leave the reason in sock_last_error().
int sock_open_udp(net_family family = net_family::v4);
// Binds to the endpoint's address (the any-address when it is none) and port.
int sock_bind(int fd, const net_endpoint& local);
// Binds to the any-address of the socket's family.
int sock_bind(int fd, uint16_t port);
// An IPv6 socket that takes IPv6 only, so that one of each family can share a port.
int sock_v6_only(int fd);
// Lets a bind take an address this machine does not have yet.
int sock_free_bind(int fd);
int sock_set_nonblocking(int fd, bool on);
int sock_local_port(int fd);
int sock_send_to(int fd, const void* data, size_t length, const net_endpoint& to);
// As sock_send_to, from the local address from (one the socket's bound address covers): a socket
// bound to every address answers from the one it was asked at. None (or an any-address) lets the
// routes choose, as sock_send_to does.
int sock_send_from(int fd, const void* data, size_t length, const net_endpoint& to,
                   const net_endpoint& from);
// Reads one datagram; the result is its full length even when it did not fit into capacity.
int sock_recv_from(int fd, void* buffer, size_t capacity, net_endpoint* from);
// Raises the send and receive buffers to bytes each (beyond the system's usual limit where this
// process may), never lowering one that is larger already; the smaller of the two buffers the
// system granted, in its own accounting.
int sock_set_buffers(int fd, int bytes);
// Where a datagram arrived: the local address it was sent to, and the interface.
struct arrival {
    net_endpoint local;
    int interface_index = 0; // 0 when unknown
};
// Asks the system to tell, with each datagram, where it arrived.
int sock_want_arrival(int fd);
// As sock_recv_from, and where the datagram arrived.
int sock_recv_arrival(int fd, void* buffer, size_t capacity, net_endpoint* from, arrival* at);
// Asks the system to queue on the socket what the network reports about the datagrams it sent
// (an ICMP "port unreachable" for one): the next receive fails with it.
int sock_want_errors(int fd);
// Takes one such report: where the datagram it is about went, and the system's error number,
// which sock_last_error() then gives. False when none is queued.
bool sock_take_error(int fd, net_endpoint* about);
// The last send was refused by this machine's own full queue: the datagram is lost, as the
// network might lose it, and nothing is wrong with the peer.
bool sock_dropped_here();
// The largest datagram an interface carries (its MTU); 0 when the system does not say.
int interface_mtu(int interface_index);
void sock_close(int fd);
int sock_last_error();
bool sock_would_block(); // the last failure was "nothing queued" on a non-blocking socket
// The last bind was refused for want of privileges (a port below 1024).
bool sock_last_error_is_privilege();
// The last bind failed because the machine has no such address (or no such family).
bool sock_last_error_is_absent_address();
// The last failure came from the other end's address, port or network, not from this machine:
// refused, unreachable, filtered, an address that cannot be sent to, a full queue.
bool sock_peer_fault();
// The last failure was for want of a descriptor, in this process or in the whole system.
bool sock_out_of_descriptors();
// Lets this process open as many descriptors as the system allows it (its soft limit raised to
// the hard one): each transfer holds a socket and a file.
void descriptor_limit_raise();

// Waits until fd (a socket, or any descriptor) can be read (a report of the network's queued on
// it counts), the event wake is set, or milliseconds have passed (-1: no limit); 1 when fd is
// readable, 0 otherwise.
int wait_readable(int fd, int wake, int milliseconds);

// Waits until the socket's send queue has room, the event wake is set, or milliseconds have
// passed; whether the queue has room.
bool wait_writable(int fd, int wake, int milliseconds);

// An event that any thread sets and every waiter on it sees until it is cleared.
int event_create();
void event_set(int event);
void event_clear(int event);
void event_close(int event);

// Owns one socket descriptor and closes it when it goes out of scope.
class socket_owner {
  public:
    explicit socket_owner(int fd = -1) : fd_(fd) {}
    socket_owner(const socket_owner&) = delete;
    socket_owner& operator=(const socket_owner&) = delete;
    ~socket_owner() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) sock_close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};
