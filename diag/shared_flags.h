// The stop request that the window thread raises and every waiting thread sees.
#pragma once

#include <atomic>

// Raised to end every receive loop, the progress thread and the busy refusal.
extern std::atomic<int> stop_flag;
// Raises or clears stop_flag; waits on stop_event() end the moment it is raised, so that no
// waiter needs to wake up to look at the flag.
void stop_raise();
void stop_clear();
int stop_event();

// The stop of one run of a worker, for a worker that must never be un-stopped by the next run's
// start: raised once, seen at once by every wait on its event.
class stop_request {
  public:
    stop_request();
    ~stop_request();
    stop_request(const stop_request&) = delete;
    stop_request& operator=(const stop_request&) = delete;
    void raise();
    bool raised() const { return raised_.load() != 0; }
    int event() const { return event_; }

  private:
    std::atomic<int> raised_{0};
    int event_;
};
