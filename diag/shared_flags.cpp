#include "shared_flags.h"

#include "platform/socket.h"

std::atomic<int> stop_flag{0};

namespace {
const int stop_wake = event_create();
}

void stop_raise() {
    stop_flag = 1;
    event_set(stop_wake);
}

void stop_clear() {
    stop_flag = 0;
    event_clear(stop_wake);
}

int stop_event() { return stop_wake; }

stop_request::stop_request() : event_(event_create()) {}

stop_request::~stop_request() { event_close(event_); }

void stop_request::raise() {
    raised_ = 1;
    event_set(event_);
}
