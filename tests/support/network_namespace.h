// A network namespace of the test's own, with its loopback up and routes that no reply can
// take: 192.0.2.0/24 unreachable, 198.51.100.0/24 prohibited, 203.0.113.0/24 a black hole, and
// nothing at all for any other address beyond loopback. Programs run inside it through a prefix;
// forged sources stay inside it. Needs root and iproute2.
#pragma once

#include <string>
#include <vector>

class network_namespace {
  public:
    network_namespace();
    ~network_namespace();
    network_namespace(const network_namespace&) = delete;
    network_namespace& operator=(const network_namespace&) = delete;

    // Empty when the namespace could be made; else why not, for a test to skip with.
    const std::string& unavailable() const { return unavailable_; }
    // The words that run a program inside the namespace.
    std::vector<std::string> prefix() const;
    // Programs run inside it ask this name server; whether it could be set up.
    bool use_name_server(const std::string& address);
    // Its loopback carries no more than rate ("20mbit"), behind a queue as deep as a slow
    // link's router keeps; whether the system allows it.
    bool limit_rate(const std::string& rate);
    // A cable to the other namespace: this end has the addresses here ("10.77.0.1/24",
    // "fd77::1/64"), the other end those given and the hardware address; whether it could be laid.
    bool link_to(const network_namespace& other, const std::vector<std::string>& here,
                 const std::vector<std::string>& there, const std::string& hardware);
    const std::string& name() const { return name_; }

  private:
    std::string name_, unavailable_;
    bool added_ = false;
};

// Sends one UDP datagram from any source address and port (a raw socket, through the
// send_datagram helper), inside the namespace when a prefix is given; whether it went out.
bool send_forged(const std::vector<std::string>& prefix, const std::string& from_address,
                 int from_port, int to_port, const std::string& bytes);
// Whether this process may open a raw socket (root with CAP_NET_RAW), as send_forged needs.
bool raw_sockets_usable();
