// The transfers the daemon runs, each found by its socket: it starts them, hands each the
// datagrams that come for it, sends again or gives up when a wait runs out, and closes each one
// when it ends. Nothing of one transfer is reachable from another.
#pragma once

#include "engine/transfer.h"
#include "platform/address.h"
#include "platform/wait_set.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

class transfer_table {
  public:
    explicit transfer_table(wait_set& waits) : waits_(waits) {}
    // Whatever ends the daemon closes every transfer still running.
    ~transfer_table();
    transfer_table(const transfer_table&) = delete;
    transfer_table& operator=(const transfer_table&) = delete;

    size_t size() const { return transfers_.size(); }
    // A new transfer, counted from before its first packet goes out, leaving by the interface
    // with this index (its DATA shares the pace of that interface's other transfers).
    transfer& open(int interface_index);
    // Runs the new transfer's first step on its request (already in its receive buffer): it
    // stays when the request was accepted, and goes when it was refused or ended at once.
    void begin(transfer& t, int length);
    // The transfer on fd has a datagram (or more) waiting.
    void receive(int fd);
    // Hands a datagram read at the listening socket to the transfer served from that socket for
    // its sender; false when no such transfer runs (a request sent again is taken, a new one ends
    // the transfer before it and is not).
    bool deliver(const net_endpoint& from, const std::string& datagram);
    // Whether a transfer served from the listening socket runs for this sender.
    bool serves(const net_endpoint& from) const { return shared_peers_.count(endpoint_text(from)); }
    // Takes every datagram already queued for any transfer, so that none that came before a
    // request is left unseen when the request is answered.
    void drain();
    // Sends again, or gives up, where a wait has run out; the milliseconds until the next wait
    // runs out (-1 when no transfer runs). It looks at every transfer only when one may be due.
    int expire();
    // Sends what the pace held back and now lets go, a datagram of each transfer in its path's
    // line in turn, so that none starves; the milliseconds until the pace lets more go (-1 when
    // nothing waits).
    int send_held();
    // Whether the client at peer already runs a transfer begun by this request.
    bool running(const net_endpoint& peer, const std::string& request) const;
    // How many transfers a client address runs.
    int of_client(const net_endpoint& client) const;
    // A stop ends every transfer.
    void stop_all();

  private:
    void end(int fd);
    // Runs one step; false when the transfer ended with it.
    bool step(transfer& t, int (*what)(transfer&, int), int argument);
    // Puts a transfer whose blocks the pace holds back at the end of its path's line.
    static void note_held(const transfer& t);
    // Brings due_ forward to the transfer's wait where that runs out sooner.
    void note_wait(const transfer& t);
    // Milliseconds from now until due_, 0 once it has passed.
    int until_due() const;

    wait_set& waits_;
    std::unordered_map<int, std::unique_ptr<transfer>> transfers_;
    // The pace of each interface, kept while the daemon runs: what one crowd taught of the path
    // serves the next.
    std::unordered_map<int, std::shared_ptr<path_budget>> paths_;

    // The transfers served from the listening socket, by their peer's address and port, with the
    // keys of their own they are found by (below -1, which no socket has).
    std::unordered_map<std::string, int> shared_peers_;
    int next_shared_key_ = -2;

    // The millisecond clock at or before which the first wait runs out. Only a step of its own
    // moves a transfer's wait, so each step brings this forward where needed, and a full look
    // at every wait is due only when it has passed.
    uint64_t due_ = 0;
};
