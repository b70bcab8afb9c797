// Waiting on many descriptors at once without scanning them all: the daemon's listening sockets,
// its transfers' sockets and the stop event, in one wait.
#pragma once

#include <memory>
#include <vector>

class wait_set {
  public:
    wait_set();
    ~wait_set();
    wait_set(const wait_set&) = delete;
    wait_set& operator=(const wait_set&) = delete;

    // False when the system could not make the set (then every wait returns nothing at once).
    bool usable() const;
    // Adds a descriptor to wait on for reading; false when the system refused it.
    bool add(int fd);
    // Takes a descriptor out before it is closed.
    void remove(int fd);
    // Waits up to milliseconds (-1: no limit) until any descriptor is readable; those that are.
    std::vector<int> wait(int milliseconds);

  private:
    struct state;
    std::unique_ptr<state> state_;
};
