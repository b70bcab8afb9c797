// IPv4 UDP sockets behind small calls, so that no code above the platform layer touches POSIX.
// Addresses and ports are in host byte order everywhere above this layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ipv4_endpoint {
    uint32_t address = 0; // host byte order
    uint16_t port = 0;    // host byte order
    bool operator==(const ipv4_endpoint&) const = default;
};

// The port the system's service database gives for the named UDP service; 0 when it has none.
int service_port(const char* service);

// Socket calls. Failures return -1 and leave the reason in sock_last_error().
int sock_open_udp();
int sock_bind(int fd, uint16_t port); // wildcard address
int sock_set_nonblocking(int fd, bool on);
int sock_local_port(int fd);
int sock_send_to(int fd, const void* data, size_t length, const ipv4_endpoint& to);
// Reads one datagram; the result is its full length even when it did not fit into capacity.
int sock_recv_from(int fd, void* buffer, size_t capacity, ipv4_endpoint* from);
// Asks for send and receive buffers of bytes each (beyond the system's usual limit where this
// process may); the receive buffer the system granted, in its own accounting.
int sock_set_buffers(int fd, int bytes);
// Asks the system to tell, with each datagram, the interface it arrived on.
int sock_want_arrival(int fd);
// As sock_recv_from, and the index of the interface the datagram arrived on (0 when unknown).
int sock_recv_arrival(int fd, void* buffer, size_t capacity, ipv4_endpoint* from, int* interface);
// The largest datagram an interface carries (its MTU); 0 when the system does not say.
int interface_mtu(int interface);
void sock_close(int fd);
// A second descriptor of the same socket, for another owner; -1 on failure.
int sock_duplicate(int fd);
int sock_last_error();
bool sock_would_block(); // the last failure was "nothing queued" on a non-blocking socket
// The last failure came from the other end's address, port or network, not from this machine:
// refused, unreachable, filtered, an address that cannot be sent to, a full queue.
bool sock_peer_fault();

// Waits until fd (a socket, or any descriptor) can be read, the event wake is set, or
// milliseconds have passed (-1: no limit); 1 when fd is readable, 0 otherwise.
int wait_readable(int fd, int wake, int milliseconds);

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

// Dotted-decimal text of an address, in storage of the caller's own.
std::string ipv4_text(uint32_t address);
// inet_addr's reading of a text: four, three, two or one parts, decimal, octal or hexadecimal.
// False for anything else and for 255.255.255.255, which inet_addr cannot tell from a failure.
bool ipv4_parse(const std::string& text, uint32_t* address);

struct host_lookup {
    std::string official_name;
    std::vector<uint32_t> addresses;
};
// Resolves a host name (a dotted address resolves to itself); false when it cannot be resolved.
bool host_resolve(const std::string& host, host_lookup* result);
