// A UDP socket that a test drives by hand: the scripted peer of a transfer, a stray sender.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct datagram {
    std::string bytes;
    uint16_t from_port = 0;
    uint32_t from_address = 0; // host order, for IPv4
    std::string from_text;     // the sender's address as text, of either family
};

class udp_peer {
  public:
    // Bound to address (host order, default 127.0.0.1) and port (0: the system chooses).
    explicit udp_peer(uint32_t address = 0x7f000001, uint16_t port = 0);
    // Bound to an address of either family given as text ("::1"), on a port the system chooses.
    explicit udp_peer(const std::string& address);
    ~udp_peer();
    udp_peer(const udp_peer&) = delete;
    udp_peer& operator=(const udp_peer&) = delete;

    uint16_t port() const { return port_; }
    void send_to(uint16_t port, const std::string& bytes, uint32_t address = 0x7f000001) const;
    // To an address of the peer's own family, given as text.
    void send_to(const std::string& address, uint16_t port, const std::string& bytes) const;
    // The same datagram count times, in one system call, to 127.0.0.1.
    void send_burst(uint16_t port, const std::string& bytes, int count) const;
    // Two datagrams to two ports of 127.0.0.1 in one system call, the first first: the second
    // leaves in the same instant as the first.
    void send_both(uint16_t first_port, const std::string& first, uint16_t second_port,
                   const std::string& second) const;
    // The next datagram within milliseconds, or nothing.
    std::optional<datagram> receive(int milliseconds) const;

  private:
    int fd_;
    uint16_t port_;
};

// A UDP port that was free a moment ago.
uint16_t free_udp_port();
// A TFTP packet from its parts.
std::string tftp_packet(int opcode, int number, const std::string& rest = "");
std::string tftp_request(int opcode, const std::string& name, const std::string& mode);
