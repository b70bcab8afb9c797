// A UDP relay between a TFTP client and server for tests and benchmarks: the client talks to the
// relay as if it were the server; every port the server answers from gets a port of its own on the
// relay, so the client sees the server's ports change as they do. Each datagram passes, or is
// dropped, duplicated or held back, as a rule decides.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct relayed {
    bool to_server; // from the client towards the server
    int opcode;     // of the datagram, -1 when it has none
    int number;     // block number or error code, -1 when it has none
    int seen;       // how many datagrams with this direction, opcode and number came before
    std::string bytes;
};

struct relay_action {
    enum kind { pass, drop, duplicate, delay } what = pass;
    int delay_ms = 0; // for delay: how long it is held back; later datagrams pass it
};

class lossy_relay {
  public:
    using rule = std::function<relay_action(const relayed&)>;
    // Relays to the server listening on server_port; rule decides for every datagram.
    lossy_relay(uint16_t server_port, rule decide);
    ~lossy_relay();
    lossy_relay(const lossy_relay&) = delete;
    lossy_relay& operator=(const lossy_relay&) = delete;

    // The port the client sends its request to.
    uint16_t port() const { return front_port_; }
    // Datagrams as they came to the relay, before the rule acted on them.
    std::vector<relayed> log() const;
    // How many came in one direction with an opcode (and a number, unless it is -1).
    int count(bool to_server, int opcode, int number = -1) const;

  private:
    void run();

    uint16_t server_port_, front_port_ = 0;
    rule decide_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<relayed> log_;
    std::thread worker_;
    int front_fd_ = -1, back_fd_ = -1, stop_fd_ = -1;
};

// Rules for common schedules.
// Drops the first `times` transmissions of the datagrams that match.
lossy_relay::rule drop_first(bool to_server, int opcode, std::vector<int> numbers, int times = 1);
lossy_relay::rule duplicate_all();
// Drops each datagram with the chance given, the same ones for the same seed.
lossy_relay::rule random_loss(double chance, unsigned seed);
