// What the daemon takes from its listening sockets: the datagrams waiting there are read in a
// batch and taken in turn by source address, so that a crowd at one address keeps no other
// waiting; and each address has a budget of requests (a burst, then a steady rate), beyond which
// its datagrams are dropped unread and counted, so that a flood from one address costs the
// server next to nothing. The drops are said on the status line at most once a minute, and so are
// the requests the access lists turn away beyond the first of each minute.
#pragma once

#include "platform/socket.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

// A datagram read at a listening socket, and where it came from and to.
struct intake_datagram {
    net_endpoint from;
    arrival at;
    std::string bytes; // as much of it as a request can hold
    int length = 0;    // its whole length
};

class request_intake {
  public:
    // Reads what waits at the socket, up to a batch, keeping those within their address's budget
    // (and those of a sender that serving says a transfer on the socket serves, whole); then they
    // are taken in turn by address. What the system fails to read ends the batch.
    void read(int socket, const std::function<bool(const net_endpoint&)>& serving);
    // The next datagram in turn; false when the batch is done.
    bool next(intake_datagram* datagram);
    // A request from a client the access lists do not admit: the first of a minute is said at
    // once, the others are counted for the report.
    void ignored(const net_endpoint& from);
    // Says the drops and the requests ignored since the last time, once a minute has passed
    // since then; the milliseconds until it wants to be called again, -1 when nothing is counted.
    int report();

  private:
    using address_key = std::pair<net_family, std::array<uint8_t, 16>>;
    struct budget {
        double requests = 0;
        uint64_t at_ms = 0;
    };
    bool admit(const net_endpoint& from, uint64_t now);
    // Lets go of the budgets of addresses that have not used theirs up.
    void forget_idle(uint64_t now);
    void report_ignored();
    void report_dropped();

    std::map<address_key, budget> budgets_;
    std::vector<intake_datagram> batch_; // in the order they are taken
    std::vector<uint8_t> buffer_;        // what a datagram is read into
    size_t taken_ = 0;
    std::map<address_key, int64_t> dropped_; // since the last report
    uint64_t last_report_ms_ = 0;
    std::map<address_key, int64_t> ignored_; // after the first, which was said
    uint64_t ignored_since_ms_ = 0;          // when the first was said; 0: none this minute
};
