#include "transfer.h"

#include "diag/status.h"
#include "endpoint.h"
#include "file_layer.h"

std::string transfer_outcome::shown() const {
    switch (how) {
    case kind::running:
        return "running";
    case kind::completed:
        return "completed";
    case kind::refused:
        return "refused: " + text;
    case kind::ended:
        return text;
    case kind::timed_out:
        return "timed out";
    case kind::stopped:
        return "stopped";
    case kind::failed:
        return "failed: " + text;
    }
    return text;
}

transfer::transfer()
    : recv_buf(packet_buffer_size), send_buf(packet_buffer_size),
      budget(std::make_shared<path_budget>()), meter(std::make_shared<transfer_meter>()) {}

void transfer::take_options(const option_set& agreed) {
    if (agreed.has(option_name::blksize))
        block_size = static_cast<int>(agreed.get(option_name::blksize));
    if (agreed.has(option_name::windowsize))
        window_size = static_cast<int>(agreed.get(option_name::windowsize));
    if (agreed.has(option_name::timeout))
        timeout_seconds = static_cast<int>(agreed.get(option_name::timeout));
    if (agreed.has(option_name::tsize)) {
        tsize = agreed.get(option_name::tsize);
        if (mode == MODE_OCTET) meter->total = tsize;
    }
}

transfer::~transfer() {
    meter->kind = 0;
    if (file) file_close_unchecked(*this);
    // Also where a failed close left the file's line behind.
    status_file_drop(this);
    if (socket >= 0) net_close(*this);
}
